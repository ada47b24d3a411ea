#include "dialog_views.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "connect_dialog.h"
#include "file_dialog_filters.h"
#include "flash_upload_type_dialog.h"
#include "header_query_dialog.h"
#include "keyboard_access.h"
#include "loader_window_rig.h"
#include "modal_user.h"
#include "protocol_probe_dialog.h"
#include "upload_confirm_dialog.h"
#include "upload_file_dialog.h"

namespace zamel::testing {
namespace {

QString fieldText(QWidget* window, const char* name) {
    auto* field = window->findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(field, nullptr) << name;
    return field != nullptr ? field->text() : QString();
}

QString labelText(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label != nullptr ? label->text() : QString();
}

QStringList captions(QWidget* window) {
    QStringList list;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        list.append(captionWithoutMnemonic(button->text()));
    return list;
}

class DialogViewTest : public ::testing::Test {
  protected:
    // Runs the controller in its window while the user plays the steps given.
    DialogResult run(DialogController& controller) {
        user.start();
        const DialogResult result = rig.ui.runModal(controller);
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
        return result;
    }
    // Waits for the window of the title, checks it, then acts on it.
    void then(const char* title, std::function<bool(QWidget*)> step) {
        user.then(title, [title, step](QWidget* modal) {
            return modal != nullptr && modal->windowTitle() == title && step(modal);
        });
    }

    LoaderWindowRig rig;
    ModalUser user;
};

TEST_F(DialogViewTest, ConnectDialogShowsEachProbeAndEscapeCancels) {
    rig.link.autoMode = true;
    ConnectDialog dialog(rig.link);
    then("Establishing Communication with Receiver", [](QWidget* modal) {
        EXPECT_EQ(fieldText(modal, "promptField"), "Power on GPS unit");
        // A port that does not open is left at the next tick.
        if (fieldText(modal, "portField") != "Using COM1 at 9600 baud") return false;
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(run(dialog), DialogResult::Cancel);
    EXPECT_FALSE(rig.link.autoMode);
}

TEST_F(DialogViewTest, HeaderQueryDialogCountsTheTimeAndCancels) {
    std::snprintf(rig.link.modelName, sizeof rig.link.modelName, "Talvane");
    rig.link.comIndex = 1;
    rig.link.hasMapHeader = true;
    HeaderQueryDialog dialog(rig.link, rig.clock);
    then("Determining Database Type", [](QWidget* modal) {
        EXPECT_EQ(fieldText(modal, "connectionField"), "Talvane on COM2");
        EXPECT_EQ(labelText(modal, "elapsedLabel"), "Elapsed Time");
        if (fieldText(modal, "elapsedField") != "00:00:01") return false;
        buttonOf(modal, "Cancel")->click();
        return true;
    });
    EXPECT_EQ(run(dialog), DialogResult::Cancel);
}

TEST_F(DialogViewTest, ProtocolProbeDialogShowsItsTextsAndCancels) {
    std::snprintf(rig.link.modelName, sizeof rig.link.modelName, "KX 524");
    rig.link.autoMode = true;
    ProtocolProbeDialog dialog(rig.link, rig.clock);
    then("Determing Upload Protocol", [](QWidget* modal) {
        EXPECT_EQ(labelText(modal, "instructionLabel"),
                  "If unit comes out of software upload mode \"cancel\" and restart");
        EXPECT_EQ(fieldText(modal, "connectionField"), "KX 524 on COM1");
        EXPECT_EQ(fieldText(modal, "elapsedField"), "00:00:00");
        buttonOf(modal, "Cancel")->click();
        return true;
    });
    EXPECT_EQ(run(dialog), DialogResult::Cancel);
    EXPECT_FALSE(rig.link.autoMode);
}

TEST_F(DialogViewTest, UploadFileDialogAnswersByButtonEnterAndEscape) {
    const struct {
        const char* press;  // nullptr: Enter; "": Escape
        UploadFileDialog::Answer answer;
    } cases[] = {{nullptr, UploadFileDialog::Answer::UploadFile},
                 {"Change file", UploadFileDialog::Answer::ChangeFile},
                 {"", UploadFileDialog::Answer::Cancel},
                 {"Cancel", UploadFileDialog::Answer::Cancel}};
    for (const auto& c : cases) {
        UploadFileDialog dialog("maps/Lake \xC3\x89rie.img");
        then("UPLOAD FILE", [&c](QWidget* modal) {
            EXPECT_EQ(fieldText(modal, "fileNameField"), QString::fromUtf8("maps/Lake \xC3\x89rie.img"));
            EXPECT_EQ(captions(modal), QStringList({"Upload File", "Change file", "Cancel"}));
            if (c.press == nullptr) {
                QTest::keyClick(modal, Qt::Key_Return);
            } else if (*c.press == '\0') {
                QTest::keyClick(modal, Qt::Key_Escape);
            } else {
                buttonOf(modal, c.press)->click();
            }
            return true;
        });
        run(dialog);
        EXPECT_EQ(dialog.answer(), c.answer) << (c.press ? c.press : "Enter");
    }
}

TEST_F(DialogViewTest, UploadConfirmationTakesYesByEnterAndNoByItsButton) {
    for (const bool yes : {true, false}) {
        UploadConfirmDialog dialog("Updating to version 1.10");
        then("Upload", [yes](QWidget* modal) {
            EXPECT_EQ(labelText(modal, "lineLabel"), "Updating to version 1.10");
            EXPECT_EQ(labelText(modal, "questionLabel"), "Proceed with software upload?");
            EXPECT_EQ(captions(modal), QStringList({"YES", "NO"}));
            if (yes) {
                QTest::keyClick(modal, Qt::Key_Return);
            } else {
                QTest::keyClick(modal, Qt::Key_N, Qt::AltModifier);
            }
            return true;
        });
        EXPECT_EQ(run(dialog), yes ? DialogResult::Ok : DialogResult::Cancel);
    }
}

TEST_F(DialogViewTest, UploadTypeDialogsOfferTheirChoices) {
    std::snprintf(rig.link.codePath, sizeof rig.link.codePath, "code.srec");
    FlashUploadTypeDialog map(FlashVariant::Map, rig.link, rig.ui);
    then("Select upload type", [](QWidget* modal) {
        EXPECT_EQ(captions(modal), QStringList({"Cancel", "Program Code Only", "Base Map Only",
                                                "Program Code and Base Map", "Detail Map Only"}));
        // Enter takes the first choice.
        QTest::keyClick(modal, Qt::Key_Return);
        return true;
    });
    EXPECT_EQ(run(map), DialogResult::Ok);
    EXPECT_EQ(map.uploadType(), kProgramCode);
    EXPECT_TRUE(rig.link.codeSelected);

    FlashUploadTypeDialog plain(FlashVariant::Plain, rig.link, rig.ui);
    then("Select upload type", [](QWidget* modal) {
        EXPECT_EQ(captions(modal), QStringList({"Cancel", "Program Code Only", "Base Map Only",
                                                "Program Detail Map Only"}));
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(run(plain), DialogResult::Cancel);
    EXPECT_EQ(plain.uploadType(), cancelledUpload(FlashVariant::Plain));
}

TEST(FileDialogFilters, BecomeQtNameFilters) {
    EXPECT_EQ(nameFiltersOf("hex Files (*.hex)|*.hex|S-record Files (*.srec)|*.srec|Binary Files "
                            "(*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||"),
              QStringList({"hex Files (*.hex)", "S-record Files (*.srec)",
                           "Binary Files (*.bin *.img)", "All Files (*)"}));
    EXPECT_EQ(nameFiltersOf("Maps|*.img"), QStringList({"Maps (*.img)"}));
    EXPECT_TRUE(nameFiltersOf("||").isEmpty());
}

}  // namespace
}  // namespace zamel::testing
