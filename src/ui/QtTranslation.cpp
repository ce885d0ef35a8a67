#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace halvex {

namespace {

const char* CatalogueOf(TLanguage language) {
    switch (language) {
    case TLanguage::Polish:
        return "qtbase_pl";
    case TLanguage::English:
        break;
    }
    return nullptr;
}

} // namespace

bool UseQtTranslation(TLanguage language) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const char* catalogue = CatalogueOf(language);
    if (!catalogue)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(catalogue),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace halvex
