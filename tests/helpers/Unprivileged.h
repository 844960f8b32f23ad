#pragma once

#include <QString>
#include <QStringList>

// Permission failures cannot be seen as root. A test function that needs them
// starts with
//
//     if (Unprivileged::isRoot()) {
//         QVERIFY2(Unprivileged::rerun(QTest::currentTestFunction()), ...);
//         return;
//     }
//
// so that under root the same test binary runs that one function again as the
// unprivileged user nobody (uid and gid 65534, no supplementary groups), where
// the real checks happen.
namespace Unprivileged {

constexpr unsigned Uid = 65534;
constexpr unsigned Gid = 65534;

bool isRoot();

// Runs the named test function (with data tag `tag`, if not empty) of this
// test binary as nobody and returns true when it passed.
bool rerun(const char *testFunction, const char *tag = nullptr);

} // namespace Unprivileged

#define AS_NOBODY_IF(condition)                                                                    \
    if ((condition) && Unprivileged::isRoot()) {                                                   \
        QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));       \
        return;                                                                                    \
    }
