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
    personalTexts_ = {new EditLimiter(ui_->personalTitle), new EditLimiter(ui_->personalMessage),
                      new EditLimiter(ui_->personalAgree)};
    for (QPlainTextEdit* edit : {ui_->personalMessage, ui_->personalAgree}) {
        QTextOption centred = edit->document()->defaultTextOption();
        centred.setAlignment(Qt::AlignHCenter);
        edit->document()->setDefaultTextOption(centred);
    }

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
}

void PersonalizerView::reject() {
    dialog_.onExit();
    QDialog::reject();
}

void PersonalizerView::saveChanges() {
    std::array<std::string, PersonalizerDialog::kGroupCount> texts;
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        Windows1252Text converted = windowsTextOf(personalTexts_[group]->text());
        if (converted.refused) {
            showTagwrightMessage(
                this,
                QStringLiteral("The character %1 in the %2 cannot be written into the "
                               "firmware, which knows only Windows-1252 characters. Please "
                               "replace it.")
                    .arg(describeCharacter(*converted.refused),
                         QString::fromLatin1(kFieldNames[group])),
                MessageIcon::Error);
            return;
        }
        texts[group] = std::move(converted.bytes);
    }
    dialog_.onSaveChanges(texts);
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
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        languages_[language]->setChecked(dialog_.languageChecked(language));
    }
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        factoryTexts_[group]->setText(displayTextOf(dialog_.factoryText(group)));
        captions_[group]->setText(displayTextOf(dialog_.caption(group)));
        personalTexts_[group]->setLimit(dialog_.editLimit(group));
        personalTexts_[group]->setText(displayTextOf(dialog_.personalText(group)));
    }
}

void PersonalizerView::closeIfEnded() {
    if (dialog_.ended()) {
        QDialog::accept();
    }
}

}  // namespace tagwright
