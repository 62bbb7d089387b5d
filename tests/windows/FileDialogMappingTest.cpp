#include "platform/CommonDialog.h"
#include "platform/FileDialogService.h"

#include "FakeServices.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>

namespace {

using velmora::FileDialogKind;
using velmora::FileDialogRequest;
using velmora::QtFileDialogService;

struct MappingCase {
    const char* name;
    FileDialogKind kind;
    std::uint32_t flags;
    QFileDialog::AcceptMode acceptMode;
    QFileDialog::FileMode fileMode;
    bool confirmsOverwrite;
};

class FileDialogMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(FileDialogMappingTest, FlagsBecomeDialogModes) {
    const MappingCase& c = GetParam();
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    FileDialogRequest request;
    request.kind = c.kind;
    request.title = QStringLiteral("Open file");
    request.flags = c.flags;
    QtFileDialogService::configure(dialog, request, QString());
    EXPECT_EQ(dialog.windowTitle(), "Open file");
    EXPECT_EQ(dialog.acceptMode(), c.acceptMode);
    EXPECT_EQ(dialog.fileMode(), c.fileMode);
    EXPECT_EQ(!dialog.testOption(QFileDialog::DontConfirmOverwrite), c.confirmsOverwrite);
    EXPECT_TRUE(dialog.defaultSuffix().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Flags, FileDialogMappingTest,
    ::testing::Values(
        MappingCase{"OpenMustExist", FileDialogKind::Open, 0x201000, QFileDialog::AcceptOpen,
                    QFileDialog::ExistingFile, false},
        // The save dialogs of the main window: any new name, a question before replacing.
        MappingCase{"SaveAsksBeforeReplacing", FileDialogKind::Save, 0x202002,
                    QFileDialog::AcceptSave, QFileDialog::AnyFile, true},
        MappingCase{"SaveWithoutPrompts", FileDialogKind::Save, 0x200000, QFileDialog::AcceptSave,
                    QFileDialog::AnyFile, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileDialogStart, StartsInTheFolderOfTheLastPathOrTheCurrentOne) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder.path());
    const FileDialogRequest request;

    QFileDialog bare;
    bare.setOption(QFileDialog::DontUseNativeDialog);
    QtFileDialogService::configure(bare, request, QStringLiteral(".Bin"));
    EXPECT_EQ(QDir(bare.directory()).canonicalPath(), QDir(folder.path()).canonicalPath());

    QTemporaryDir other;
    QFileDialog full;
    full.setOption(QFileDialog::DontUseNativeDialog);
    QtFileDialogService::configure(full, request, other.path() + "/game.bin");
    EXPECT_EQ(QDir(full.directory()).canonicalPath(), QDir(other.path()).canonicalPath());

    // A bare name in a request that names a folder starts there, not in the current one.
    FileDialogRequest inFolder;
    inFolder.folder = other.path();
    QFileDialog given;
    given.setOption(QFileDialog::DontUseNativeDialog);
    QtFileDialogService::configure(given, inFolder, QStringLiteral(".Bin"));
    EXPECT_EQ(QDir(given.directory()).canonicalPath(), QDir(other.path()).canonicalPath());
    QDir::setCurrent(previous);
}

TEST(FileDialogFilter, PairsBecomeNameFiltersAndExtensionIsKept) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    FileDialogRequest request;
    request.filter = QStringLiteral("Images|*.dds;*.png|All|*.*");
    request.defaultExt = QStringLiteral("dds");
    QtFileDialogService::configure(dialog, request, QString());
    EXPECT_EQ(dialog.nameFilters(), QStringList({"Images (*.dds *.png)", "All (*.*)"}));
    EXPECT_EQ(dialog.defaultSuffix(), "dds");
}

TEST(CommonDialogState, SettingsOutliveEachShowingAndCancelKeepsTheName) {
    velmora::test::FakeFileDialogService service;
    velmora::CommonDialog dialog(service);
    dialog.DialogTitle = QStringLiteral("Save file");
    dialog.Flags = 0x202002;
    service.confirm(QStringLiteral("/a/b"));
    ASSERT_TRUE(dialog.ShowSave());
    EXPECT_EQ(dialog.FileName, "/a/b");
    service.cancel();
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(dialog.FileName, "/a/b");
    ASSERT_EQ(service.requests.size(), 2u);
    EXPECT_EQ(service.requests[1].fileName, "/a/b");
    EXPECT_EQ(service.requests[1].title, "Save file");
    EXPECT_EQ(service.requests[1].kind, FileDialogKind::Open);
}

} // namespace
