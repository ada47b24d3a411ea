#include "personalizer_view.h"

#include <QApplication>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>

#include "about_dialog.h"
#include "qt_personalizer_ui.h"
#include "ui_personalizer_window.h"
#include "windows1252.h"

namespace tagwright {

namespace {

// How the refusal of a character names the field it was typed in.
const std::array<const char*, PersonalizerDialog::kGroupCount> kFieldNames = {
    "menu name", "disclaimer", "acknowledgement"};

}  // namespace

PersonalizerView::PersonalizerView(PersonalizerDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog), ui_(std::make_unique<Ui::PersonalizerWindow>()) {
    ui_->setupUi(this);
    setWindowIcon(QApplication::windowIcon());

    families_ = {ui_->familyTalvAmber, ui_->familyPlt430, ui_->familyTalvOlive};
    languages_ = {ui_->languageEnglish,    ui_->languageFrancais,    ui_->languageDeutsch,
                  ui_->languageNederlands, ui_->languageSuomi,       ui_->languageEspanol,
                  ui_->languageItaliano,   ui_->languagePortugueses, ui_->languageSvenska};
    factoryTexts_ = {ui_->factoryTitle, ui_->factoryMessage, ui_->factoryAgree};
    captions_ = {ui_->titleCaption, ui_->messageCaption, ui_->agreeCaption};
    charactersLeft_ = {ui_->titleLeft, ui_->messageLeft, ui_->agreeLeft};
    personalTexts_ = {new EditLimiter(ui_->personalTitle), new EditLimiter(ui_->personalMessage),
                      new EditLimiter(ui_->personalAgree)};
    for (QPlainTextEdit* edit : {ui_->personalMessage, ui_->personalAgree}) {
        QTextOption centred = edit->document()->defaultTextOption();
        centred.setAlignment(Qt::AlignHCenter);
        edit->document()->setDefaultTextOption(centred);
    }

    connect(ui_->personalTitle, &QLineEdit::textChanged, this, [this] { showCharactersLeft(0); });
    connect(ui_->personalMessage, &QPlainTextEdit::textChanged, this,
            [this] { showCharactersLeft(1); });
    connect(ui_->personalAgree, &QPlainTextEdit::textChanged, this,
            [this] { showCharactersLeft(2); });

    for (int family = 0; family < PersonalizerDialog::kFamilyCount; ++family) {
        connect(families_[family], &QRadioButton::clicked, this, [this, family] {
            dialog_.onFamilyChosen(family);
            refresh();
            closeIfEnded();
        });
    }
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        connect(languages_[language], &QRadioButton::clicked, this, [this, language] {
            dialog_.onLanguageChosen(language);
            refresh();
        });
    }
    connect(ui_->saveButton, &QPushButton::clicked, this, &PersonalizerView::saveChanges);
    connect(ui_->exitButton, &QPushButton::clicked, this, &PersonalizerView::reject);
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { dialog_.onHelp(); });
    connect(ui_->aboutButton, &QPushButton::clicked, this, &PersonalizerView::showAbout);
    // Windows adds "&About Tagwright..." to this window's system menu. Qt offers
    // no system menu on Linux, so the About box is reached through "About" only.
}

PersonalizerView::~PersonalizerView() = default;

void PersonalizerView::start() {
    dialog_.onInit();
    refresh();
    ui_->personalTitle->setFocus(Qt::OtherFocusReason);
}

void PersonalizerView::reject() {
    const Fields typed = fields();
    // A character the firmware cannot hold is an edit too.
    dialog_.onExit(typed.refusedGroup >= 0 || dialog_.hasUnsavedEdits(typed.texts));
    if (dialog_.ended()) {
        QDialog::reject();
    }
}

PersonalizerView::Fields PersonalizerView::fields() const {
    Fields typed;
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        Windows1252Text converted = windowsTextOf(personalTexts_[group]->text());
        if (converted.refused) {
            typed.refusedGroup = group;
            typed.refused = *converted.refused;
            return typed;
        }
        typed.texts[group] = std::move(converted.bytes);
    }
    return typed;
}

void PersonalizerView::saveChanges() {
    const Fields typed = fields();
    if (typed.refusedGroup >= 0) {
        showTagwrightMessage(this,
                             QStringLiteral("The character %1 in the %2 cannot be written into the "
                                            "firmware, which knows only Windows-1252 characters. "
                                            "Please replace it.")
                                 .arg(describeCharacter(typed.refused),
                                      QString::fromLatin1(kFieldNames[typed.refusedGroup])),
                             MessageIcon::Error);
        return;
    }
    dialog_.onSaveChanges(typed.texts);
    closeIfEnded();
}

void PersonalizerView::showAbout() {
    AboutDialog about(this);
    about.exec();
}

void PersonalizerView::refresh() {
    for (int family = 0; family < PersonalizerDialog::kFamilyCount; ++family) {
        families_[family]->setChecked(dialog_.familyChecked(family));
    }
    showLanguages();
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        factoryTexts_[group]->setText(displayTextOf(dialog_.factoryText(group)));
        captions_[group]->setText(displayTextOf(dialog_.caption(group)));
        personalTexts_[group]->setLimit(dialog_.editLimit(group));
        personalTexts_[group]->setText(displayTextOf(dialog_.personalText(group)));
        showCharactersLeft(group);
    }
    ui_->saveButton->setEnabled(dialog_.saveEnabled());
    const std::string blocked = dialog_.saveBlockedText();
    ui_->saveNote->setText(displayTextOf(blocked));
    ui_->saveNote->setVisible(!blocked.empty());
}

void PersonalizerView::showLanguages() {
    // Checking a button of the group clears the others; only a choice outside
    // the buttons, which checks none, needs the group opened for a moment.
    int chosen = -1;
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        if (dialog_.languageChecked(language)) {
            chosen = language;
        }
    }
    if (chosen >= 0) {
        languages_[chosen]->setChecked(true);
    } else {
        for (QRadioButton* button : languages_) {
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
    }
    // Tab stops at the chosen language only (the first while none is); the
    // arrow keys move within the group.
    const int tabStop = chosen >= 0 ? chosen : 0;
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        languages_[language]->setFocusPolicy(language == tabStop ? Qt::StrongFocus
                                                                 : Qt::ClickFocus);
    }
}

void PersonalizerView::showCharactersLeft(int group) {
    const int used = EditLimiter::windowsLength(personalTexts_[group]->text());
    charactersLeft_[group]->setText(displayTextOf(dialog_.charactersLeftText(group, used)));
}

void PersonalizerView::closeIfEnded() {
    if (dialog_.ended()) {
        QDialog::accept();
    }
}

}  // namespace tagwright
