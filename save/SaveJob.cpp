#include "SaveJob.h"

#include "base/ReplacementFile.h"
#include "settings/SettingsFile.h"

#include <utility>

#include <sys/stat.h>

namespace korvel {

namespace {

constexpr mode_t WallpaperMode = 0664;

SaveOutcome unusable(const QString &path, FileProblem problem,
                     ImageSource::Refusal refusal = ImageSource::Refusal::None)
{
    return {SaveOutcome::Result::ImageUnusable, path, problem, refusal, 0};
}

// The checked image to install, or why it cannot be.
ImageSource checkedImage(const SaveRequest &request, SaveOutcome &refusal)
{
    const ImageChoice &choice = request.image;
    if (!choice.stored)
        return ImageSource::read(choice.path, choice.links);
    FileDescriptor::WholeFile file = FileDescriptor::readRegularFile(
        choice.path, ImageSource::MaxSize, FileDescriptor::Links::Refuse);
    // Nothing installed: the path in the field is not read instead.
    if (file.problem == FileProblem::Missing)
        refusal = unusable(request.shown, FileProblem::Missing);
    // A second name of the wallpaper may be any file of this file system.
    else if (file.problem == FileProblem::None && file.links > 1)
        refusal = unusable(choice.path, FileProblem::NotRegularFile);
    if (refusal.result != SaveOutcome::Result::Saved)
        return {};
    return file.problem == FileProblem::None
               ? ImageSource::fromContent(choice.path, std::move(file.bytes))
               : ImageSource::read(choice.path, FileDescriptor::Links::Refuse);
}

} // namespace

SaveOutcome runSave(const SaveRequest &request, const SettingsFile &settings,
                    const QString &wallpaper)
{
    using Result = SaveOutcome::Result;
    if (request.shown.isEmpty())
        return {Result::NoImageChosen, {}, {}, {}, 0};
    if (!settings.isWritable())
        return {Result::SettingsNotWritable, settings.path(), {}, {}, 0};
    SaveOutcome refusal;
    const ImageSource image = checkedImage(request, refusal);
    if (refusal.result != Result::Saved)
        return refusal;
    if (!image.isValid())
        return unusable(image.path(), image.fileProblem(), image.refusal());

    ReplacementFile file(wallpaper, WallpaperMode);
    if (!file.prepare(image.content()))
        return {Result::WallpaperFailed, wallpaper, {}, {}, file.error()};
    const QByteArray before = settings.read().bytes;
    if (settings.replace(SettingsFile::withValues(before, request.values)) != 0)
        return {Result::SettingsWriteFailed, settings.path(), {}, {}, 0};
    if (!file.commit()) {
        const bool restored = settings.replace(before) == 0;
        return {restored ? Result::WallpaperFailed : Result::WallpaperFailedSettingsKept,
                wallpaper,
                {},
                {},
                file.error()};
    }
    return {};
}

} // namespace korvel
