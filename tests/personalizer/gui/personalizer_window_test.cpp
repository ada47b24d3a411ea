#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "about_dialog.h"
#include "flow_fixture.h"
#include "modal_script.h"
#include "personalizer_view.h"
#include "scratch_dir.h"
#include "tagwright_program.h"

namespace tagwright {
namespace {

using namespace std::chrono_literals;
using testing::AmberLayout;
using testing::ModalScript;
using testing::readFile;
using testing::ScratchDir;

const QString kUnsavedQuestion =
    QStringLiteral("Your texts have changed and are not saved.\n\nExit without saving them?");

const QString kStartupWarning = QStringLiteral(
    "   This program modifies the factory\nmessage in the Corvath Talvane\nor Plt430 "
    "firmware.\n\n   You assume full responsibility and\n risk when using this program!");

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString labelText(QWidget* window, const char* name) {
    QLabel* label = child<QLabel>(window, name);
    return label != nullptr ? label->text() : QString();
}

// Types text key by key; QTest spells only ASCII keys, so other characters
// arrive as key events that carry just their text, as from a keyboard layout.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

std::string padded(const std::string& text, std::size_t length) {
    return text + std::string(length - text.size(), ' ');
}

// The whole program on a prepared working directory, with a search path that
// holds only a recording read-me viewer.
class TagwrightWindowTest : public ::testing::Test {
  protected:
    TagwrightWindowTest()
        : systemPath(std::getenv("PATH") != nullptr ? std::getenv("PATH") : ""),
          cwd(dir.path()),
          path(dir.path()) {
        testing::prepareWorkDir(dir.path());
        testing::writeRecordingProgram(dir.file("xdg-open"), dir.file("viewer-record"));
    }

    int runProgram() {
        script.start();
        const int status = runTagwright(TAGWRIGHT_PROGRAM_DIR);
        EXPECT_TRUE(script.finished()) << script.failure().toStdString();
        return status;
    }

    std::string systemPath;
    ScratchDir dir;
    testing::CurrentDirectory cwd;
    testing::SearchPath path;
    ModalScript script;
};

TEST_F(TagwrightWindowTest, TextsTypedInTheWindowAreSavedIntoTheFirmware) {
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("type and save", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        EXPECT_EQ(window->windowTitle(), "Tagwright");
        EXPECT_TRUE(child<QRadioButton>(window, "familyTalvAmber")->isChecked());
        EXPECT_TRUE(child<QRadioButton>(window, "languageEnglish")->isChecked());
        EXPECT_EQ(labelText(window, "factoryTitle"), "WARNING!");
        EXPECT_EQ(labelText(window, "titleCaption"), "Menu Name\n( 11 chars max )");
        EXPECT_TRUE(child<QPushButton>(window, "saveButton")->isDefault());

        child<QRadioButton>(window, "languageFrancais")->click();
        EXPECT_TRUE(child<QRadioButton>(window, "languageFrancais")->isChecked());
        EXPECT_FALSE(child<QRadioButton>(window, "languageEnglish")->isChecked());
        EXPECT_EQ(labelText(window, "factoryMessage"),
                  QString::fromUtf8("Données fournies à titre indicatif."));
        EXPECT_EQ(labelText(window, "messageCaption"), "Disclaimer\n( 37 chars max )");
        EXPECT_EQ(labelText(window, "agreeCaption"), "Acknowledgement\n( 24 chars max )");

        auto* title = child<QLineEdit>(window, "personalTitle");
        auto* message = child<QPlainTextEdit>(window, "personalMessage");
        auto* agree = child<QPlainTextEdit>(window, "personalAgree");
        // Typing stops at the room the firmware has: 13 characters here.
        typeText(title, QString::fromUtf8("Mon GPS € personnel"));
        EXPECT_EQ(title->text(), QString::fromUtf8("Mon GPS € per"));
        typeText(message, QString::fromUtf8("Propriété de"));
        QTest::keyClick(message, Qt::Key_Return);
        typeText(message, QStringLiteral("Jean"));
        typeText(agree, QStringLiteral("OK"));
        child<QPushButton>(window, "saveButton")->click();
        return true;
    });
    script.answer(
        "Personalized firmware saved as " + QString::fromStdString(dir.file("personal.hex")),
        QMessageBox::Information);
    script.answer(QStringLiteral("Would you like me to start Corvath's firmware upload program?\n"
                                 "     (Answer yes to upload your personalized firmware)"),
                  QMessageBox::Question, QMessageBox::No);

    EXPECT_EQ(runProgram(), 0);

    testing::FirmwareImageBuilder expected = testing::amberImage();
    expected.place(AmberLayout::kFrenchTitle,
                   padded("Mon GPS \x80 per", AmberLayout::kFrenchTitleLimit));
    expected.place(AmberLayout::kFrenchMessage,
                   padded("Propri\xE9t\xE9 de\r\nJean", AmberLayout::kFrenchMessageLimit));
    expected.place(AmberLayout::kFrenchAgree, padded("OK", AmberLayout::kFrenchAgreeLimit));
    EXPECT_EQ(readFile(dir.file("personal.hex")), expected.build());

    const std::string settings = readFile(dir.file("Tagwright.ini"));
    EXPECT_NE(settings.find("Language=1\r\n"), std::string::npos);
    EXPECT_NE(settings.find("Title=Mon GPS \x80 per\r\n"), std::string::npos);
    EXPECT_NE(settings.find("Message=Propri\xE9t\xE9 de\\nJean\r\n"), std::string::npos);
    EXPECT_NE(settings.find("Agree=OK\r\n"), std::string::npos);

    // An independent S-record checker accepts every record.
    const std::string check =
        "PATH='" + systemPath + "' srec_cat '" + dir.file("personal.hex") + "' -o /dev/null";
    const int checked = std::system(check.c_str());
    EXPECT_TRUE(WIFEXITED(checked) && WEXITSTATUS(checked) == 0) << check;
    // Nothing was started: the answer was No.
    EXPECT_TRUE(testing::waitForRecord(dir.file("viewer-record"), 100ms).empty());
}

TEST_F(TagwrightWindowTest, FamilyWithoutFirmwareOffersTheReadMeAndClosesTheWindow) {
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("open the About box", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QPushButton>(window, "aboutButton")->click();
        return true;
    });
    script.then("close the About box", [](QWidget* modal) {
        auto* about = testing::modalAs<AboutDialog>(modal);
        if (about == nullptr) {
            return false;
        }
        EXPECT_EQ(about->windowTitle(), "About Tagwright");
        EXPECT_EQ(labelText(about, "versionLine"), "Tagwright Version 0.05b Alpha");
        child<QPushButton>(about, "okButton")->click();
        return true;
    });
    script.then("choose Plt 430", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QRadioButton>(window, "familyPlt430")->click();
        return true;
    });
    script.answer(
        "Could not find firmware file: " + QString::fromStdString(dir.file("vesta209.sre")) +
            ".\nPlease read help file.",
        QMessageBox::Critical);

    EXPECT_EQ(runProgram(), 0);

    const auto viewer = testing::waitForRecord(dir.file("viewer-record"), 10s);
    ASSERT_EQ(viewer.size(), 3u);
    EXPECT_EQ(viewer[2], dir.file("ReadMeTagwright.txt"));
    EXPECT_NE(readFile(dir.file("Tagwright.ini")).find("CorvathGPS=0\r\n"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("personal.hex"))));
}

TEST_F(TagwrightWindowTest, HelpFindsTheReadMeShippedBesideTheProgram) {
    ASSERT_EQ(std::remove(dir.file("ReadMeTagwright.txt").c_str()), 0);
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("press Help, then Exit", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QPushButton>(window, "helpButton")->click();
        child<QPushButton>(window, "exitButton")->click();
        return true;
    });

    EXPECT_EQ(runProgram(), 0);

    const auto viewer = testing::waitForRecord(dir.file("viewer-record"), 10s);
    ASSERT_EQ(viewer.size(), 3u);
    const std::string readMe = std::string(TAGWRIGHT_PROGRAM_DIR) + "/ReadMeTagwright.txt";
    EXPECT_EQ(viewer[2], readMe);
    const std::string text = readFile(readMe);
    EXPECT_NE(text.find("TROUBLE SHOOTING"), std::string::npos);
    EXPECT_NE(text.find("vesta209.sre"), std::string::npos);
}

TEST_F(TagwrightWindowTest, CharacterWithoutAWindows1252ByteIsRefusedAndNothingWritten) {
    const std::string settingsBefore = readFile(dir.file("Tagwright.ini"));
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("type a Greek letter and save", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        typeText(child<QPlainTextEdit>(window, "personalMessage"), QString::fromUtf8("Ω"));
        child<QPushButton>(window, "saveButton")->click();
        return true;
    });
    script.answer(QString::fromUtf8("The character \"Ω\" (U+03A9) in the disclaimer cannot be "
                                    "written into the firmware, which knows only Windows-1252 "
                                    "characters. Please replace it."),
                  QMessageBox::Critical);
    script.then("leave with Escape", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        QTest::keyClick(window, Qt::Key_Escape);
        return true;
    });
    script.answer(kUnsavedQuestion, QMessageBox::Question, QMessageBox::Yes);

    EXPECT_EQ(runProgram(), 0);

    EXPECT_EQ(readFile(dir.file("Tagwright.ini")), settingsBefore);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("personal.hex"))));
}

std::string focusName() {
    QWidget* focused = QApplication::focusWidget();
    return focused != nullptr ? focused->objectName().toStdString() : "nothing";
}

// The name of the widget that has the keyboard focus after a key press on the
// one that has it now.
std::string afterKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    return focusName();
}

TEST_F(TagwrightWindowTest, KeyboardStartsInTheFirstFieldAndTheLanguagesAreOneTabStop) {
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("walk the window with the keyboard", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        auto* title = child<QLineEdit>(window, "personalTitle");
        // A loaded machine may show the window before it has taken the focus.
        EXPECT_TRUE(QTest::qWaitFor([] { return focusName() == "personalTitle"; }, 2000))
            << focusName();
        EXPECT_EQ(labelText(window, "titleLeft"), "11 chars left");

        // Backwards from the first field: the chosen language, then the families.
        EXPECT_EQ(afterKey(Qt::Key_Backtab, Qt::ShiftModifier), "languageEnglish");
        EXPECT_EQ(afterKey(Qt::Key_Backtab, Qt::ShiftModifier), "familyPlt430");
        EXPECT_EQ(afterKey(Qt::Key_Tab), "languageEnglish");
        // An arrow key chooses the next language within the group.
        EXPECT_EQ(afterKey(Qt::Key_Down), "languageFrancais");
        EXPECT_TRUE(child<QRadioButton>(window, "languageFrancais")->isChecked());
        EXPECT_FALSE(child<QRadioButton>(window, "languageEnglish")->isChecked());
        EXPECT_EQ(labelText(window, "factoryTitle"), "ATTENTION!");
        EXPECT_EQ(afterKey(Qt::Key_Tab), "personalTitle");
        EXPECT_EQ(afterKey(Qt::Key_Backtab, Qt::ShiftModifier), "languageFrancais");

        // The room left follows the typing.
        EXPECT_EQ(afterKey(Qt::Key_Tab), "personalTitle");
        typeText(title, QStringLiteral("MY GPS"));
        EXPECT_EQ(labelText(window, "titleLeft"), "7 chars left");
        EXPECT_EQ(afterKey(Qt::Key_Tab), "personalMessage");
        auto* message = child<QPlainTextEdit>(window, "personalMessage");
        typeText(message, QStringLiteral("A"));
        QTest::keyClick(message, Qt::Key_Return);
        EXPECT_EQ(labelText(window, "messageLeft"), "34 chars left");
        return true;
    });
    script.then("exit, and stay after No", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QPushButton>(window, "exitButton")->click();
        return true;
    });
    script.then("the edits question defaults to No", [](QWidget* modal) {
        auto* box = testing::modalAs<QMessageBox>(modal);
        if (box == nullptr) {
            return false;
        }
        EXPECT_EQ(box->text(), kUnsavedQuestion);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        QTest::keyClick(box, Qt::Key_Return);
        return true;
    });
    script.then("exit again", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        EXPECT_TRUE(window->isVisible());
        QTest::keyClick(window, Qt::Key_Escape);
        return true;
    });
    script.answer(kUnsavedQuestion, QMessageBox::Question, QMessageBox::Yes);

    EXPECT_EQ(runProgram(), 0);

    EXPECT_EQ(readFile(dir.file("Tagwright.ini")).find("Title=MY GPS"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("personal.hex"))));
}

TEST_F(TagwrightWindowTest, SaveIsOffWhileTheFactoryTextsAreNotFound) {
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("choose German, whose texts this firmware lacks", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        EXPECT_TRUE(child<QPushButton>(window, "saveButton")->isEnabled());
        EXPECT_FALSE(child<QLabel>(window, "saveNote")->isVisible());
        child<QRadioButton>(window, "languageDeutsch")->click();
        return true;
    });
    for (const char* missing : {"Alle Daten diene", "ENTER F\xC3\x9C"}) {
        script.answer(
            QStringLiteral("Could not find \"%1\" string in firmware.  Please read trouble "
                           "shooting section in ReadMeTagwright.txt\n")
                .arg(QString::fromUtf8(missing)),
            QMessageBox::Critical);
    }
    script.then("find saving off, then leave unasked", [this](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        EXPECT_FALSE(child<QPushButton>(window, "saveButton")->isEnabled());
        EXPECT_TRUE(child<QLabel>(window, "saveNote")->isVisible());
        EXPECT_EQ(labelText(window, "saveNote"),
                  "Saving is off: the factory menu name, disclaimer and acknowledgement of this "
                  "language were not found in " +
                      QString::fromStdString(dir.file("tambr312.hex")) + ".");
        EXPECT_EQ(labelText(window, "messageLeft"), "not found");
        // Enter on the default button saves nothing.
        QTest::keyClick(window, Qt::Key_Return);
        EXPECT_TRUE(window->isVisible());
        child<QPushButton>(window, "exitButton")->click();
        return true;
    });

    EXPECT_EQ(runProgram(), 0);

    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("personal.hex"))));
}

TEST_F(TagwrightWindowTest, ReadMeThatCannotBeShownIsNamed) {
    ASSERT_EQ(std::remove(dir.file("xdg-open").c_str()), 0);
    script.answer(kStartupWarning, QMessageBox::Warning);
    script.then("press Help", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QPushButton>(window, "helpButton")->click();
        return true;
    });
    script.answer("xdg-open not found\n\nPlease open the read-me with a text viewer: " +
                      QString::fromStdString(dir.file("ReadMeTagwright.txt")),
                  QMessageBox::Critical);
    script.then("leave", [](QWidget* modal) {
        auto* window = testing::modalAs<PersonalizerView>(modal);
        if (window == nullptr) {
            return false;
        }
        child<QPushButton>(window, "exitButton")->click();
        return true;
    });

    EXPECT_EQ(runProgram(), 0);
}

// Without a display that answers, the program says it needs one and ends with
// status 1, instead of Qt's abort.
TEST(TagwrightProgram, SaysItNeedsADisplayWhenNoneAnswers) {
    const std::string command = std::string("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
                                "DISPLAY=:4242 " + TAGWRIGHT_PROGRAM_DIR + "/Tagwright 2>&1";
    std::FILE* program = ::popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, program) != nullptr) output += buffer;
    const int status = ::pclose(program);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 1) << output;
    EXPECT_EQ(output.rfind("Tagwright needs a display", 0), 0u) << output;
}

}  // namespace
}  // namespace tagwright

int main(int argc, char** argv) {
    // The window tests need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
