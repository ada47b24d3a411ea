#include "main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

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

bool isChecked(QWidget* window, const char* caption) {
    return qobject_cast<QRadioButton*>(buttonOf(window, caption))->isChecked();
}

class MainFrameTest : public ::testing::Test {
  protected:
    QAction* action(const char* name) {
        return frame.findChild<QAction*>(QString::fromLatin1(name));
    }
    void run(const char* actionName) {
        user.start();
        action(actionName)->trigger();
        EXPECT_TRUE(user.finished()) << user.failure().toStdString();
    }

    LoaderWindowRig rig;
    CMainFrame frame{rig.app, rig.ui};
    ModalUser user;
};

TEST_F(MainFrameTest, TitleMenusStatusBarAndHelp) {
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(frame.windowTitle(), "Corvath Firmware Loader - version 1.14");
    EXPECT_EQ(captionsOf(frame.menuBar()->actions()),
              QStringList({"&File", "&Upload", "&Auto", "&Expert", "&View", "&Help"}));
    const auto menu = [&](const char* name) {
        return captionsOf(frame.findChild<QMenu*>(QString::fromLatin1(name))->actions());
    };
    EXPECT_EQ(menu("fileMenu"),
              QStringList({"Select Code File...", "Select Database File...", "E&xit"}));
    EXPECT_EQ(menu("viewMenu"), QStringList({"&Status Bar"}));
    EXPECT_EQ(menu("helpMenu"), QStringList({"&About zamel...", "About FILE...", "About UPLOAD...",
                                             "About AUTO...", "About EXPERT..."}));

    // The message pane: idle, what the core puts there, the prompts on hover.
    EXPECT_EQ(frame.messagePaneText(), "Ready");
    rig.ui.setStatusPane("Connected receiver not supported");
    EXPECT_EQ(frame.messagePaneText(), "Connected receiver not supported");
    action("selectCodeFileAction")->showStatusText(&frame);
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Choose file containing binary program code");
    action("selectDatabaseFileAction")->showStatusText(&frame);
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Choose file containing binary database data");
    QTest::keyClick(frame.windowHandle(), Qt::Key_CapsLock);
    QTest::keyClick(frame.windowHandle(), Qt::Key_ScrollLock);
    EXPECT_EQ(textOf(&frame, "capsLockIndicator") + textOf(&frame, "numLockIndicator") +
                  textOf(&frame, "scrollLockIndicator"),
              "CAPSCRL");
    action("statusBarAction")->trigger();
    EXPECT_FALSE(frame.statusBar()->isVisible());

    const std::pair<const char*, HelpBox> items[] = {{"aboutAction", kAboutBox},
                                                     {"aboutFileAction", kFileHelp},
                                                     {"aboutUploadAction", kUploadHelp},
                                                     {"aboutAutoAction", kAutoHelp},
                                                     {"aboutExpertAction", kExpertHelp}};
    for (const auto& [item, box] : items) {
        user.in(box.title, [box = box](QWidget* modal) {
            // The mnemonic marks are not shown as ampersands: the style underlines.
            std::string unmarked = box.text;
            std::erase(unmarked, '&');
            QTextDocument shown;
            shown.setHtml(textOf(modal, "textLabel"));
            EXPECT_EQ(shown.toPlainText().toStdString(), unmarked);
            EXPECT_EQ(textOf(modal, "textLabel").count(QStringLiteral("<u>")),
                      std::count(box.text, box.text + std::strlen(box.text), '&'));
            QTest::keyClick(modal, Qt::Key_Return);
        });
        run(item);
    }
    EXPECT_EQ(user.titlesSeen().size(), 5);
}

TEST_F(MainFrameTest, UploadIsOfferedWithoutAPackage) {
    frame.runCommand([this] { rig.app.start(); });
    EXPECT_TRUE(action("uploadAction")->isEnabled());
}

TEST_F(MainFrameTest, WithAPackageUploadIsOfferedOnlyInExpertMode) {
    ASSERT_TRUE(writeWholeFile(rig.dir.file("map.img"), mapImageBytes(4'000, 1, "LAKES")));
    ASSERT_TRUE(writeWholeFile(rig.dir.file("zamel.ini"),
                               "[Talvane]\nCODE=\nVERSION=1\nMAP=map.img\nMAPKEY=Lakes\n"));
    // The start-up asks before its automatic upload; "NO" declines.
    user.in("Upload", [](QWidget* modal) {
        EXPECT_EQ(textOf(modal, "lineLabel"), "Updating map to Lakes");
        buttonOf(modal, "NO")->click();
    });
    user.start();
    frame.runCommand([this] { rig.app.start(); });
    EXPECT_FALSE(action("uploadAction")->isEnabled());

    user.in("Expert Setup", [](QWidget* modal) {
        EXPECT_TRUE(isChecked(modal, "Off"));
        EXPECT_FALSE(buttonOf(modal, "Non-Standard Baud Rates")->isEnabled());
        const QString com4 = "/nonexistent/port (through COM4 in the working directory)";
        EXPECT_EQ(textOf(modal, "portDevice3"), com4);
        EXPECT_TRUE(textOf(modal, "portsPresentList").endsWith("\nCOM4 " + com4));
        buttonOf(modal, "Talvane")->click();
        buttonOf(modal, "COM 2")->click();
        buttonOf(modal, "On")->click();
        QTest::keyClick(modal, Qt::Key_Return);  // "OK"
    });
    run("expertAction");
    EXPECT_TRUE(rig.link.expertUpload);
    EXPECT_EQ(rig.link.unitType, 7);
    EXPECT_EQ(rig.link.comIndex, 1);
    EXPECT_TRUE(action("uploadAction")->isEnabled());

    // Reopened, it shows what was applied; Escape applies nothing.
    user.in("Expert Setup", [](QWidget* modal) {
        EXPECT_TRUE(isChecked(modal, "Talvane") && isChecked(modal, "COM 2") &&
                    isChecked(modal, "On"));
        buttonOf(modal, "Off")->click();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    run("expertAction");
    EXPECT_TRUE(rig.link.expertUpload);
}

}  // namespace
}  // namespace zamel::testing
