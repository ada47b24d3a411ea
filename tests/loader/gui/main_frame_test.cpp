#include "main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include "e2e_files.h"
#include "help_texts.h"
#include "loader_window_rig.h"
#include "modal_user.h"

namespace zamel::testing {
namespace {

QStringList captionsOf(const QList<QAction*>& actions) {
    QStringList captions;
    for (const QAction* action : actions)
        if (!action->isSeparator()) captions.append(action->text());
    return captions;
}

QAction* action(CMainFrame& frame, const char* name) {
    auto* found = frame.findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString labelText(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label != nullptr ? label->text() : QString();
}

class MainFrameTest : public ::testing::Test {
  protected:
    void run(QAction* command) {
        user.start();
        command->trigger();
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
    }

    LoaderWindowRig rig;
    CMainFrame frame{rig.app, rig.ui};
    ModalUser user;
};

TEST_F(MainFrameTest, TitleMenusPromptsAndStatusBar) {
    frame.show();
    EXPECT_EQ(frame.windowTitle().toStdString(), "Corvath Firmware Loader - version 1.14");
    EXPECT_EQ(captionsOf(frame.menuBar()->actions()),
              QStringList({"&File", "&Upload", "&Auto", "&Expert", "&View", "&Help"}));
    auto menuCaptions = [&](const char* name) {
        return captionsOf(frame.findChild<QMenu*>(QString::fromLatin1(name))->actions());
    };
    EXPECT_EQ(menuCaptions("fileMenu"),
              QStringList({"Select Code File...", "Select Database File...", "E&xit"}));
    EXPECT_EQ(menuCaptions("viewMenu"), QStringList({"&Status Bar"}));
    EXPECT_EQ(menuCaptions("helpMenu"),
              QStringList({"&About zamel...", "About FILE...", "About UPLOAD...", "About AUTO...",
                           "About EXPERT..."}));

    // The message pane: idle text, the texts the core puts there, prompts on hover.
    EXPECT_EQ(frame.messagePaneText().toStdString(), "Ready");
    rig.ui.setStatusPane("Connected receiver not supported");
    EXPECT_EQ(frame.messagePaneText().toStdString(), "Connected receiver not supported");
    action(frame, "selectCodeFileAction")->showStatusText(&frame);
    EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
              "Choose file containing binary program code");
    action(frame, "selectDatabaseFileAction")->showStatusText(&frame);
    EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
              "Choose file containing binary database data");

    // The lock keys light their indicators while on.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(labelText(&frame, "capsLockIndicator"), "");
    QTest::keyClick(frame.windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(labelText(&frame, "capsLockIndicator"), "CAP");
    QTest::keyClick(frame.windowHandle(), Qt::Key_ScrollLock);
    EXPECT_EQ(labelText(&frame, "scrollLockIndicator"), "SCRL");
    QTest::keyClick(frame.windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(labelText(&frame, "capsLockIndicator"), "");
    EXPECT_EQ(labelText(&frame, "numLockIndicator"), "");

    QAction* statusBarAction = action(frame, "statusBarAction");
    ASSERT_TRUE(statusBarAction->isChecked());
    statusBarAction->trigger();
    EXPECT_FALSE(frame.statusBar()->isVisible());
    statusBarAction->trigger();
    EXPECT_TRUE(frame.statusBar()->isVisible());
}

TEST_F(MainFrameTest, HelpItemsShowTheirBoxes) {
    const struct {
        const char* action;
        HelpBox box;
        bool icon;
    } items[] = {{"aboutAction", kAboutBox, true},
                 {"aboutFileAction", kFileHelp, false},
                 {"aboutUploadAction", kUploadHelp, false},
                 {"aboutAutoAction", kAutoHelp, false},
                 {"aboutExpertAction", kExpertHelp, false}};
    for (const auto& item : items) {
        user.then(item.box.title, [&item](QWidget* modal) {
            if (modal == nullptr) return false;
            EXPECT_EQ(modal->windowTitle().toStdString(), item.box.title);
            EXPECT_EQ(labelText(modal, "textLabel").toStdString(), item.box.text);
            EXPECT_EQ(modal->findChild<QLabel*>("iconLabel")->isVisibleTo(modal), item.icon);
            // Enter presses "OK".
            QTest::keyClick(modal, Qt::Key_Return);
            return true;
        });
        run(action(frame, item.action));
    }
    EXPECT_EQ(user.titlesSeen(), QStringList({"About zamel", "File Help", "Upload Help",
                                              "Auto Help", "Expert Help"}));
}

TEST_F(MainFrameTest, UploadIsOfferedWithoutAPackage) {
    frame.runCommand([this] { rig.app.start(); });
    EXPECT_TRUE(action(frame, "uploadAction")->isEnabled());
}

TEST_F(MainFrameTest, UploadIsOfferedWithAPackageOnlyInExpertMode) {
    ASSERT_TRUE(writeWholeFile(rig.dir.file("map.img"), mapImageBytes(4'000, 1, "LAKES")));
    ASSERT_TRUE(writeWholeFile(rig.dir.file("zamel.ini"),
                               "[Talvane]\nCODE=\nVERSION=1\nMAP=map.img\nMAPKEY=Lakes\n"));
    // With a package the start-up asks before its automatic upload; "NO" declines.
    user.then("decline the automatic upload", [](QWidget* modal) {
        if (modal == nullptr || modal->windowTitle() != "Upload") return false;
        EXPECT_EQ(labelText(modal, "lineLabel"), "Updating map to Lakes");
        EXPECT_EQ(labelText(modal, "questionLabel"), "Proceed with software upload?");
        buttonOf(modal, "NO")->click();
        return true;
    });
    user.start();
    frame.runCommand([this] { rig.app.start(); });
    ASSERT_TRUE(user.finished()) << user.failure().toStdString();
    EXPECT_FALSE(action(frame, "uploadAction")->isEnabled());

    // "&Expert": turning "Expert Upload" on offers "&Upload".
    user.then("turn expert upload on", [](QWidget* modal) {
        if (modal == nullptr || modal->windowTitle() != "Expert Setup") return false;
        EXPECT_TRUE(qobject_cast<QRadioButton*>(buttonOf(modal, "Off"))->isChecked());
        EXPECT_FALSE(buttonOf(modal, "Non-Standard Baud Rates")->isEnabled());
        buttonOf(modal, "Talvane")->click();
        buttonOf(modal, "COM 2")->click();
        buttonOf(modal, "On")->click();
        QTest::keyClick(modal, Qt::Key_Return);  // "OK" is the default button
        return true;
    });
    run(action(frame, "expertAction"));
    EXPECT_TRUE(rig.link.expertUpload);
    EXPECT_EQ(rig.link.unitType, 7);
    EXPECT_EQ(rig.link.comIndex, 1);
    EXPECT_TRUE(action(frame, "uploadAction")->isEnabled());

    // Reopened, the dialog shows what was applied; Escape changes nothing.
    user.then("look and leave", [](QWidget* modal) {
        if (modal == nullptr || modal->windowTitle() != "Expert Setup") return false;
        EXPECT_TRUE(qobject_cast<QRadioButton*>(buttonOf(modal, "Talvane"))->isChecked());
        EXPECT_TRUE(qobject_cast<QRadioButton*>(buttonOf(modal, "COM 2"))->isChecked());
        buttonOf(modal, "Off")->click();
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    run(action(frame, "expertAction"));
    EXPECT_TRUE(rig.link.expertUpload);
}

}  // namespace
}  // namespace zamel::testing
