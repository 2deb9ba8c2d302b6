#pragma once
// The language of the desktop tool: switched at once in every open window, kept for the next
// start. A view with catalogue texts overrides changeEvent() and, on QEvent::LanguageChange,
// calls its retranslate(), which sets every text again from the presenter and the catalogue.

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/messages.h"

class QSettings;
class QWidget;

namespace kbcfg::gui {

// Switches the catalogue, keeps the choice ("language" = "en"/"zh") and has every widget set its
// texts again.
void switchLanguage(store::Language language);
// Puts a language in use without keeping it (a start's language): the catalogue, and Qt's own
// texts (the file dialog, standard buttons) from Qt's translations when they are installed;
// without them those stay English.
void useLanguage(store::Language language);
// A start's language: the kept choice, else the user's locale (zh* is Chinese).
store::Language startupLanguage();

// Where the choice is kept.
inline constexpr const char* kSettingsOrganisation = "kbcfg";
inline constexpr const char* kSettingsApplication = "kbcfg-gui";
// The desktop tool's settings file, or null (with a line on stderr) when something other than a
// regular file lies at its path: a FIFO there must not hold up the start.
std::unique_ptr<QSettings> openSettings();

// The catalogue texts a view shows, each set now and again on every apply(), so that a view's
// retranslate() need not repeat its constructor.
class CatalogueTexts {
  public:
    using Source = std::function<std::string()>;

    // setText on a label, button, group box, ...: from a presenter's function or message n.
    template <class Widget>
    Widget* text(Widget* widget, Source source) {
        bind([widget, source] { widget->setText(QString::fromStdString(source())); });
        return widget;
    }
    template <class Widget>
    Widget* text(Widget* widget, store::Msg message) {
        return text(widget, [message] { return store::getMessage(message); });
    }
    void title(QWidget* window, Source source);
    // Any other setting, such as a combo box's items or a tooltip.
    void bind(std::function<void()> set);

    void apply() const;

  private:
    std::vector<std::function<void()>> setters_;
};

}  // namespace kbcfg::gui
