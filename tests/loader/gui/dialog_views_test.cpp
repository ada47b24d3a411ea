#include "dialog_views.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "connect_dialog.h"
#include "file_dialog_filters.h"
#include "file_filters.h"
#include "flash_upload_type_dialog.h"
#include "header_query_dialog.h"
#include "loader_app.h"
#include "loader_window_rig.h"
#include "mnemonic_text.h"
#include "modal_user.h"
#include "protocol_probe_dialog.h"
#include "upload_confirm_dialog.h"
#include "upload_file_dialog.h"

namespace zamel::testing {
namespace {

class DialogViewTest : public ::testing::Test {
  protected:
    DialogResult run(DialogController& controller) {
        user.start();
        const DialogResult result = rig.ui.runModal(controller);
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
        return result;
    }

    LoaderWindowRig rig;
    ModalUser user;
};

TEST_F(DialogViewTest, IdentificationWindowsShowTheirFieldsAndCancel) {
    std::snprintf(rig.link.modelName, sizeof rig.link.modelName, "KX 524");
    rig.link.comIndex = 1;
    rig.link.hasMapHeader = true;
    HeaderQueryDialog query(rig.link, rig.clock);
    user.then("a second counted", [](QWidget* modal) {
        if (modal == nullptr || textOf(modal, "elapsedField") != "00:00:01") return false;
        EXPECT_EQ(textOf(modal, "connectionField"), "KX 524 on COM2");
        EXPECT_EQ(textOf(modal, "elapsedLabel"), "Elapsed Time");
        buttonOf(modal, "Cancel")->click();
        return true;
    });
    EXPECT_EQ(run(query), DialogResult::Cancel);

    rig.link.autoMode = true;
    ConnectDialog connect(rig.link);
    user.then("the next rate tried", [](QWidget* modal) {
        // A port that does not open is left at the next tick.
        if (modal == nullptr || textOf(modal, "portField") != "Using COM1 at 9600 baud")
            return false;
        EXPECT_EQ(textOf(modal, "promptField"), "Power on GPS unit");
        EXPECT_EQ(textOf(modal, "deviceField"),
                  "COM1 /nonexistent/port (through COM1 in the working directory): no device");
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(run(connect), DialogResult::Cancel);
    EXPECT_FALSE(rig.link.autoMode);

    ProtocolProbeDialog probe(rig.link, rig.clock);
    user.in("Determing Upload Protocol", [](QWidget* modal) {
        EXPECT_EQ(textOf(modal, "instructionLabel"),
                  "If unit comes out of software upload mode \"cancel\" and restart");
        EXPECT_EQ(textOf(modal, "connectionField"), "KX 524 on COM2");
        EXPECT_EQ(textOf(modal, "elapsedField"), "00:00:00");
        buttonOf(modal, "Cancel")->click();
    });
    EXPECT_EQ(run(probe), DialogResult::Cancel);
}

TEST_F(DialogViewTest, UploadFileDialogAnswersByButtonEnterAndEscape) {
    using Answer = UploadFileDialog::Answer;
    const std::pair<int, Answer> cases[] = {
        {Qt::Key_Return, Answer::UploadFile},
        {Qt::Key_F, Answer::ChangeFile},  // Alt+F, "Change &file"
        {Qt::Key_Escape, Answer::Cancel}};
    for (const auto& [key, answer] : cases) {
        UploadFileDialog dialog("maps/Lake \xC3\x89rie.img");
        user.in("UPLOAD FILE", [key = key](QWidget* modal) {
            EXPECT_EQ(textOf(modal, "fileNameField"), QString::fromUtf8("maps/Lake \u00C9rie.img"));
            EXPECT_EQ(captionsOf(modal), QStringList({"Upload File", "Change file", "Cancel"}));
            QTest::keyClick(modal, Qt::Key(key),
                            key == Qt::Key_F ? Qt::AltModifier : Qt::NoModifier);
        });
        run(dialog);
        EXPECT_EQ(dialog.answer(), answer) << key;
    }
}

TEST_F(DialogViewTest, UploadConfirmationTakesYesByEnterAndNoByItsKey) {
    for (const bool yes : {true, false}) {
        UploadConfirmDialog dialog("Updating to version 1.10");
        user.in("Upload", [yes](QWidget* modal) {
            EXPECT_EQ(textOf(modal, "lineLabel"), "Updating to version 1.10");
            EXPECT_EQ(textOf(modal, "questionLabel"), "Proceed with software upload?");
            EXPECT_EQ(captionsOf(modal), QStringList({"YES", "NO"}));
            QTest::keyClick(modal, yes ? Qt::Key_Return : Qt::Key_N,
                            yes ? Qt::NoModifier : Qt::AltModifier);
        });
        EXPECT_EQ(run(dialog), yes ? DialogResult::Ok : DialogResult::Cancel);
    }
}

TEST_F(DialogViewTest, UploadTypeDialogsOfferTheirChoices) {
    std::snprintf(rig.link.codePath, sizeof rig.link.codePath, "code.srec");
    FlashUploadTypeDialog map(FlashVariant::Map, rig.link, rig.ui);
    user.in("Select upload type", [](QWidget* modal) {
        EXPECT_EQ(captionsOf(modal), QStringList({"Cancel", "Program Code Only", "Base Map Only",
                                                  "Program Code and Base Map", "Detail Map Only"}));
        QTest::keyClick(modal, Qt::Key_Return);  // the first choice
    });
    EXPECT_EQ(run(map), DialogResult::Ok);
    EXPECT_EQ(map.uploadType(), kProgramCode);
    EXPECT_TRUE(rig.link.codeSelected);

    FlashUploadTypeDialog plain(FlashVariant::Plain, rig.link, rig.ui);
    user.in("Select upload type", [](QWidget* modal) {
        EXPECT_EQ(captionsOf(modal), QStringList({"Cancel", "Program Code Only", "Base Map Only",
                                                  "Program Detail Map Only"}));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(run(plain), DialogResult::Cancel);
    EXPECT_EQ(plain.uploadType(), cancelledUpload(FlashVariant::Plain));
}

// Enter takes the default button: the positive one, except where a wrong answer
// would write a file that does not look right.
TEST_F(DialogViewTest, MessageBoxesAnswerEnterWithTheirDefaultButton) {
    const struct {
        MessageButtons buttons;
        MessageIcon icon;
        QMessageBox::Icon shown;
        MessageAnswer enter;
    } cases[] = {
        {MessageButtons::OkCancel, MessageIcon::Question, QMessageBox::Question, MessageAnswer::Ok},
        {MessageButtons::YesNo, MessageIcon::Information, QMessageBox::Information,
         MessageAnswer::Yes},
        {MessageButtons::OkCancelDefaultCancel, MessageIcon::Warning, QMessageBox::Warning,
         MessageAnswer::Cancel},
    };
    for (const auto& c : cases) {
        user.in("WARNING - FIRMWARE PROBLEM", [shown = c.shown](QWidget* modal) {
            EXPECT_EQ(static_cast<QMessageBox*>(modal)->icon(), shown);
            QTest::keyClick(modal, Qt::Key_Return);
        });
        user.start();
        EXPECT_EQ(rig.ui.messageBox("code.bin does not appear to contain code for Talvane.",
                                    "WARNING - FIRMWARE PROBLEM", c.buttons, c.icon),
                  c.enter);
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
    }
}

TEST(FileDialogFilters, BecomeQtNameFilters) {
    EXPECT_EQ(nameFiltersOf("hex Files (*.hex)|*.hex|Binary Files (*.bin;*.img)|*.bin;*.img|All "
                            "Files (*.*)|*.*||"),
              QStringList({"hex Files (*.hex)", "Binary Files (*.bin *.img)", "All Files (*)"}));
    EXPECT_EQ(nameFiltersOf("Maps|*.img"), QStringList({"Maps (*.img)"}));
}

// Both code-file dialogs (the File menu's and the upload's) list every usual
// S-record file name under "S-record Files", and nothing else.
TEST(FileDialogFilters, SRecordFilterTakesEveryUsualExtension) {
    TempWorkDir dir;
    const QStringList sRecordFiles = {"a.mot", "b.s19", "c.s28", "d.s37", "e.sre", "f.srec"};
    for (const char* name : {"a.mot", "b.s19", "c.s28", "d.s37", "e.sre", "f.srec", "g.hex",
                             "h.bin", "i.s", "j.srecord"})
        ASSERT_TRUE(writeWholeFile(dir.file(name), "S0"));
    for (const char* filter : {LoaderApp::kCodeFileFilter, kCodeFileFilter}) {
        QString sRecordFilter;
        for (const QString& nameFilter : nameFiltersOf(filter))
            if (nameFilter.startsWith(QStringLiteral("S-record Files"))) sRecordFilter = nameFilter;
        // The file dialog takes the patterns between the brackets.
        const qsizetype open = sRecordFilter.indexOf(QLatin1Char('('));
        const QStringList patterns = QDir::nameFiltersFromString(
            sRecordFilter.mid(open + 1, sRecordFilter.size() - open - 2));
        EXPECT_EQ(
            QDir(QString::fromStdString(dir.path())).entryList(patterns, QDir::Files, QDir::Name),
            sRecordFiles)
            << filter;
    }
}

TEST(MnemonicRichText, ShowsMarkedLettersAsThePlatformDoes) {
    const struct {
        const char* text;
        bool underline;
        const char* shown;
    } cases[] = {
        {"Use &File to select", true, "Use <u>F</u>ile to select"},
        {"Use &File to select", false, "Use File to select"},
        {"A && B", true, "A &amp; B"},
        {"<&x>\nend &", true, "&lt;<u>x</u>&gt;<br>end &amp;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mnemonicRichText(QString::fromLatin1(c.text), c.underline),
                  "<p style=\"white-space:pre-wrap\">" + QString::fromLatin1(c.shown) + "</p>")
            << c.text << " " << c.underline;
}

}  // namespace
}  // namespace zamel::testing
