#include "gui/language.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QSettings>
#include <QTranslator>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace kbcfg::gui {

namespace {
constexpr const char* kKey = "language";

// Qt's own Chinese texts, while Chinese is in use; owned by the application.
QPointer<QTranslator> g_qtTexts;

void useQtTexts(store::Language language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (g_qtTexts && language == store::Language::Chinese) return;
    if (g_qtTexts) {
        QCoreApplication::removeTranslator(g_qtTexts);
        delete g_qtTexts;
    }
    if (language != store::Language::Chinese) return;
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return;
    }
    g_qtTexts = translator;
}
}  // namespace

std::unique_ptr<QSettings> openSettings() {
    // QSettings reads its files as it is made, and would wait for ever on a FIFO. Its folder
    // (QSettings::setPath included) is learnt from settings of a name nobody has, which only
    // looks for files; ours is then opened by name, without the fall-back files.
    const QString probe = QStringLiteral("kbcfg-probe-") +
                          QString::number(QRandomGenerator::system()->generate64(), 16);
    const QFileInfo probeFile(QSettings(probe, QStringLiteral("p")).fileName());
    const QString file = QFileInfo(probeFile.path()).path() + QLatin1Char('/') +
                         QString::fromLatin1(kSettingsOrganisation) + QLatin1Char('/') +
                         QString::fromLatin1(kSettingsApplication) + QStringLiteral(".conf");
    std::error_code ec;
    const auto info =
        platform::fileInfo(QFileInfo(file).filesystemFilePath(), platform::Links::Follow, ec);
    if (info && info->kind != platform::FileKind::Regular) {
        std::fprintf(stderr, "kbcfg-gui: settings file %s is not a regular file; not used\n",
                     QFile::encodeName(file).constData());
        return nullptr;
    }
    return std::make_unique<QSettings>(file, QSettings::NativeFormat);
}

void useLanguage(store::Language language) {
    store::MessageCatalogue::setCurrent(language);
    useQtTexts(language);
}

void switchLanguage(store::Language language) {
    useLanguage(language);
    if (const auto settings = openSettings())
        settings->setValue(QString::fromLatin1(kKey),
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
    // Qt posts the same event to its windows when its translations change; they have heard it.
    QCoreApplication::removePostedEvents(nullptr, QEvent::LanguageChange);
}

store::Language startupLanguage() {
    const auto settings = openSettings();
    const QString kept =
        settings ? settings->value(QString::fromLatin1(kKey)).toString() : QString();
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
