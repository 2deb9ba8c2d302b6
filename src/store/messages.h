#pragma once
// The catalogue of the 213 texts the tool shows (titles, captions, column headers and messages),
// in English and Chinese, and the message box behaviour built on it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/host.h"
#include "store/message_id.h"
#include "store/session.h"

namespace kbcfg::store {

inline constexpr int kMessageCount = 213;

enum class Language { English, Chinese };

class MessageCatalogue {
  public:
    static const MessageCatalogue& english();
    static const MessageCatalogue& chinese();
    // The table in use: English from start-up until switched.
    static const MessageCatalogue& current();
    // Switches the table every later getMessage reads. Texts fetched before stay valid: both
    // tables live until the process ends.
    static void setCurrent(Language language);

    Language language() const { return language_; }
    // The text as UTF-8.
    const std::string& text(Msg id) const;

  private:
    MessageCatalogue(Language language, const std::string_view* texts);
    Language language_;
    std::string texts_[kMessageCount];
};

// The text of the current table.
const std::string& getMessage(Msg id);

// "en" and "zh" name a language (a stored choice, KBCFG_LANG); anything else names none.
std::optional<Language> languageNamed(std::string_view code);
std::string_view languageCode(Language language);
// A locale name such as zh_CN.UTF-8, zh_TW, en_GB or C: Chinese for zh and its regions.
Language languageForLocale(std::string_view locale);

// Reads an environment variable: null when unset.
using Environment = std::function<const char*(const char*)>;
Environment processEnvironment();
// The user's locale for messages: the first of LC_ALL, LC_MESSAGES and LANG that is set.
Language localeLanguage(const Environment& env);
// The command line's language: KBCFG_LANG when it names one, else the locale.
Language commandLineLanguage(const Environment& env);

// A message box with the text and one OK button.
void showMessage(Host& host, Msg id);
// The same box with a second line that says more (which file, who holds it, why it failed).
void showMessage(Host& host, Msg id, const std::string& detail);

// Message box modes.
inline constexpr int kTipPlain = 0;           // single OK
inline constexpr int kTipBackupAtLogin = 1;   // OK copies `argument` into the backup folder
inline constexpr int kTipBackupAtExport = 2;  // same, after an export from a keyboard
inline constexpr int kTipConfirm = 3;         // OK/Cancel answer into session.confirmAnswer

// A message box with the text, OK and Cancel, and the effect of the answer given by the mode:
// modes 1 and 2 copy the configuration file named by `argument` (in session.configFolder) into
// the backup folder on OK, and on Cancel show message 43; mode 3 sets session.confirmAnswer to 1
// on OK and 0 on Cancel. Closing the box does nothing.
void askMessage(Host& host, SessionState& session, Msg id, const std::string& argument, int mode);

}  // namespace kbcfg::store
