#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "e2e_files.h"
#include "main_frame.h"
#include "modal_user.h"
#include "pty_pair.h"
#include "sim_process.h"
#include "zamel_program.h"

namespace zamel::testing {
namespace {

// The whole program, as `zamel` runs it, started in a directory with an upload
// package and a simulated receiver on COM1: the automatic upload of start-up runs
// through the real windows, the test answering as a user would, and the test
// leaves through "E&xit" noting what the main window shows then.
class GuiUpload : public ::testing::Test {
  protected:
    void startReceiver(const char* eraseMs, const char* restartMs = "2000") {
        ASSERT_TRUE(receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane",
                                    "--flash-out-each", dir.file("flash"), "--erase-ms", eraseMs,
                                    "--restart-ms", restartMs}));
    }
    // Chooses "&Upload" in the main window once no other window is open.
    void chooseUpload() {
        user.then("&Upload", [](QWidget* modal) {
            if (modal != nullptr) return false;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* frame = qobject_cast<CMainFrame*>(window);
                if (frame == nullptr || !frame->isVisible()) continue;
                // Later, so the command's windows do not run inside this step.
                QTimer::singleShot(0, frame->findChild<QAction*>("uploadAction"),
                                   &QAction::trigger);
                return true;
            }
            return false;
        });
    }
    void run(const std::string& codeFile = {}) {
        user.then("E&xit", [this](QWidget* modal) {
            if (modal != nullptr) return false;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* frame = qobject_cast<CMainFrame*>(window);
                if (frame == nullptr || !frame->isVisible()) continue;
                paneAtTheEnd = frame->messagePaneText();
                for (const char* field : {"codeFileValue", "dataFileValue", "receiverValue",
                                          "portValue", "lastUploadValue"})
                    statusAtTheEnd.append(textOf(frame, field));
                failureShown =
                    !frame->findChild<QLabel*>("lastUploadValue")->styleSheet().isEmpty();
                uploadOffered = frame->findChild<QAction*>("uploadAction")->isEnabled();
                frame->findChild<QAction*>("exitAction")->trigger();
                return true;
            }
            return false;
        });
        user.start(std::chrono::seconds(90));
        EXPECT_EQ(runZamelWindow(codeFile), 0);
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
        receiver.stop(SIGTERM);
    }

    TempWorkDir dir;
    sim::testing::SimProcess receiver;
    ModalUser user;
    QString paneAtTheEnd;
    // The main window's status view: files, receiver, port, last upload.
    QStringList statusAtTheEnd;
    bool failureShown = false;
    bool uploadOffered = true;
};

TEST_F(GuiUpload, PackageUploadsFromStartUpThroughTheWindows) {
    startReceiver("1");
    const auto code = codeImageBytes(12'000, 7, "033", 1, 10);
    const auto map = mapImageBytes(9'000, 8, "TALVANE BASEMAP");
    writeCodeSRecords(dir.path(), "code.srec", code);
    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), map));
    ASSERT_TRUE(writeWholeFile(dir.file("zamel.ini"),
                               "[Talvane]\nCODE=code.srec\nVERSION=1\n"
                               "MAP=map.img\nMAPKEY=Talvane base map\n"));
    QStringList filesShown;
    user.watchShown([&](QWidget* modal) {
        if (modal->windowTitle() != "Upload status") return;
        filesShown.append(textOf(modal, "fileField"));
        EXPECT_EQ(textOf(modal, "statusField").trimmed(), "RESET");
        EXPECT_EQ(textOf(modal, "percentField"), "0%");
    });
    user.in("Upload", [](QWidget* modal) {
        EXPECT_EQ(textOf(modal, "lineLabel"), "Updating to version 1.10");
        QTest::keyClick(modal, Qt::Key_Return);
    });
    user.answer("Upload of BASE MAP complete", "STATUS", QMessageBox::Information);
    user.answer("Power on GPS unit\nto upload code.", "CONTINUE AUTO UPLOAD",
                QMessageBox::Information);
    user.answer("Upload of CODE complete", "STATUS", QMessageBox::Information);
    run();

    const QStringList pass = {"Establishing Communication with Receiver",
                              "Determining Database Type", "Determing Upload Protocol",
                              "Upload status", "STATUS"};
    EXPECT_EQ(user.titlesSeen(),
              QStringList({"Upload"}) + pass + QStringList({"CONTINUE AUTO UPLOAD"}) + pass);
    EXPECT_EQ(filesShown, QStringList({"Uploading base map file - map.img",
                                       "Uploading code file -  code.srec"}));
    EXPECT_EQ(paneAtTheEnd, "Talvane");
    ASSERT_EQ(statusAtTheEnd.size(), 5);
    EXPECT_EQ(statusAtTheEnd[0], "code.srec (version 1.10)");
    EXPECT_EQ(statusAtTheEnd[1], "map.img (map TALVANE BASEMAP)");
    EXPECT_EQ(statusAtTheEnd[2], "Talvane, firmware 3.08");
    EXPECT_TRUE(
        QRegularExpression(
            "^COM1 /dev/pts/[0-9]+ \\(through COM1 in the working directory\\) at 4800 baud$")
            .match(statusAtTheEnd[3])
            .hasMatch())
        << statusAtTheEnd[3].toStdString();
    EXPECT_TRUE(QRegularExpression("^Upload of BASE MAP complete \\([0-9:]{8}\\)\n"
                                   "Upload of CODE complete \\([0-9:]{8}\\)$")
                    .match(statusAtTheEnd[4])
                    .hasMatch())
        << statusAtTheEnd[4].toStdString();
    EXPECT_FALSE(failureShown);
    EXPECT_FALSE(uploadOffered);
    EXPECT_EQ(flashDumpContents(dir.file("flash-1.srec")), map);
    EXPECT_EQ(flashDumpContents(dir.file("flash-2.srec")), code);
    EXPECT_FALSE(std::filesystem::exists(dir.file("flash-3.srec")));
}

// "zamel FILE", as the desktop entry and Tagwright start it: FILE is the code file
// that "Program Code Only" sends, with no file dialog on the way.
TEST_F(GuiUpload, FileOnTheCommandLineIsTheCodeFileTheUploadSends) {
    startReceiver("1", "100");
    const auto code = codeImageBytes(10'000, 11, "033", 1, 12);
    writeCodeSRecords(dir.path(), "personal.srec", code);
    chooseUpload();
    user.press("Select upload type", "Program Code Only");
    user.in("UPLOAD FILE", [](QWidget* modal) {
        EXPECT_TRUE(textOf(modal, "fileNameField").endsWith("personal.srec"));
        QTest::keyClick(modal, Qt::Key_Return);  // "Upload File"
    });
    user.answer(
        "Unit currently contains firmware\nversion 3.08\n\nThis will overwrite\nwith "
        "version 1.12\n\nTHIS IS AN OLDER VERSION THAN THE UNIT'S!",
        "Confirm", QMessageBox::Question);
    user.answer("Upload of CODE complete", "STATUS", QMessageBox::Information);
    run(dir.file("personal.srec"));

    EXPECT_EQ(flashDumpContents(dir.file("flash-1.srec")), code);
}

TEST_F(GuiUpload, CancelStopsTheUploadOnlyAfterTheWarningIsAnsweredOk) {
    // Slow erasing keeps the upload window open while the user decides.
    startReceiver("300");
    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), mapImageBytes(300'000, 9, "TALVANE BASEMAP")));
    ASSERT_TRUE(writeWholeFile(dir.file("zamel.ini"),
                               "[Talvane]\nCODE=\nVERSION=1\nMAP=map.img\nMAPKEY=Lakes\n"));
    const QString warning = QStringLiteral(
        "UPLOAD HAS NOT COMPLETED!\nTHIS COULD CAUSE FAILURE OF THE UNIT\n\nClick OK to stop "
        "upload");
    user.press("Upload", "YES");
    user.press("Upload status", "Cancel");
    user.answer(warning, "WARNING", QMessageBox::Warning, QMessageBox::Cancel);
    user.in("Upload status", [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    user.answer(warning, "WARNING", QMessageBox::Warning, QMessageBox::Ok);
    run();

    EXPECT_EQ(user.titlesSeen().count("Upload status"), 1);
    EXPECT_EQ(user.titlesSeen().count("STATUS"), 0);
    ASSERT_EQ(statusAtTheEnd.size(), 5);
    EXPECT_TRUE(statusAtTheEnd[4].startsWith("Did not complete (last status: "))
        << statusAtTheEnd[4].toStdString();
    EXPECT_TRUE(failureShown);
    EXPECT_FALSE(std::filesystem::exists(dir.file("flash-1.srec")));
}

}  // namespace
}  // namespace zamel::testing
