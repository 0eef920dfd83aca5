#include "windowparts.h"

#include "artwork.h"
#include "windowtexts.h"

#include <QLabel>
#include <QTabWidget>

namespace larkspur {

void buildTitle(QWidget* parent) {
    auto* title = new QLabel(parent);
    title->setObjectName(QStringLiteral("Image1"));
    title->setPixmap(artwork::title());
    title->setGeometry(24, 8, 360, 19);
    title->setAccessibleName(text::kTitleImage);

    auto* logo = new QLabel(parent);
    logo->setObjectName(QStringLiteral("Image2"));
    logo->setPixmap(artwork::logo());
    logo->setGeometry(552, 7, 162, 19);
    logo->setAccessibleName(text::kLogoImage);
}

QTabWidget* buildCodecSheets(QWidget* parent, std::array<QWidget*, kTabCount>& pages) {
    auto* tab = new QTabWidget(parent);
    tab->setObjectName(QStringLiteral("MainTab"));
    tab->setGeometry(24, 37, 458, 420);
    tab->setAccessibleName(text::kCodecSettings);
    // Qt has no tabs on several rows: the captions stay whole and the row scrolls instead.
    tab->setUsesScrollButtons(true);
    tab->setElideMode(Qt::ElideNone);

    std::size_t index = 0;
    for (const TabSheetInfo& sheet : tabSheets()) {
        const QString caption =
            QString::fromUtf8(sheet.caption.data(), static_cast<qsizetype>(sheet.caption.size()));
        auto* page = new QWidget;
        page->setObjectName(
            QString::fromUtf8(sheet.name.data(), static_cast<qsizetype>(sheet.name.size())));
        page->setAccessibleName(caption);
        tab->addTab(page, caption);
        pages[index++] = page;
    }
    tab->setCurrentIndex(0);
    return tab;
}

} // namespace larkspur
