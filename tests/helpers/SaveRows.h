#pragma once

#include "TestEnvironment.h"
#include "save/SaveJob.h"

#include <QtTest>

Q_DECLARE_METATYPE(korvel::SaveOutcome)

// The rows of tests/data/save/saves.txt for the save job's and the window's tests: the columns
// "plant", "image", "locked" (QString), "asMember" (bool), "outcome" (SaveOutcome) and "text",
// "@" left for the test's own folder (see TestEnvironment::resolved).
inline void addSaveRows()
{
    using namespace korvel;
    const QStringList results{"Saved",         "NoImageChosen",   "SettingsNotWritable",
                              "ImageUnusable", "WallpaperFailed", "SettingsWriteFailed"},
        problems{"", "Missing", "NotReadable", "Directory", "NotRegularFile", "TooLarge"},
        refusals{"", "NotAnImage", "TooManyPixels"};
    for (const char *column : {"plant", "image", "locked"})
        QTest::addColumn<QString>(column);
    QTest::addColumn<bool>("asMember");
    QTest::addColumn<SaveOutcome>("outcome");
    QTest::addColumn<QString>("text");
    for (const TestEnvironment::Row &row : TestEnvironment::readRows("save/saves.txt", 7)) {
        const QStringList f = row.fields, words = f[4].split(' ');
        SaveOutcome outcome{SaveOutcome::Result(results.indexOf(words[0])), f[5]};
        const QString detail = words.value(1);
        outcome.fileProblem = FileProblem(qMax(0, problems.indexOf(detail)));
        outcome.imageRefusal = ImageSource::Refusal(qMax(0, refusals.indexOf(detail)));
        outcome.writeError = detail.toInt();
        QTest::newRow(row.tag.constData())
            << f[0] << f[1] << f[2] << (f[3] == "yes") << outcome << f[6];
    }
}
