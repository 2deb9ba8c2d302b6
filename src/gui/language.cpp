#include "gui/language.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QSettings>
#include <QWidget>
#include <memory>
#include <vector>

namespace kbcfg::gui {

namespace {
constexpr const char* kKey = "language";

std::unique_ptr<QSettings> settings() {
    return std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganisation),
                                       QString::fromLatin1(kSettingsApplication));
}
}  // namespace

void switchLanguage(store::Language language) {
    store::MessageCatalogue::setCurrent(language);
    settings()->setValue(QString::fromLatin1(kKey),
                         QString::fromLatin1(store::languageCode(language).data(), 2));
    // Every widget sets its own texts. A widget passes the event on to its children, so it goes
    // only to the widgets without a parent: each widget hears of the switch once. A widget that
    // goes away on the way is skipped.
    std::vector<QPointer<QWidget>> roots;
    for (QWidget* widget : QApplication::allWidgets())
        if (!widget->parentWidget()) roots.emplace_back(widget);
    QEvent change(QEvent::LanguageChange);
    for (const QPointer<QWidget>& root : roots)
        if (root) QCoreApplication::sendEvent(root, &change);
}

store::Language startupLanguage() {
    const QString kept = settings()->value(QString::fromLatin1(kKey)).toString();
    if (const auto language = store::languageNamed(kept.toStdString())) return *language;
    return store::localeLanguage(store::processEnvironment());
}

void CatalogueTexts::title(QWidget* window, Source source) {
    bind([window, source] { window->setWindowTitle(QString::fromStdString(source())); });
}

void CatalogueTexts::bind(std::function<void()> set) {
    set();
    setters_.push_back(std::move(set));
}

void CatalogueTexts::apply() const {
    for (const auto& set : setters_) set();
}

}  // namespace kbcfg::gui
