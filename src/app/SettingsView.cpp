#include "SettingsView.h"

#include "SettingsViewCache.h"
#include "SettingsViewDevices.h"
#include "SettingsViewInterface.h"
#include "SettingsViewNetwork.h"
#include "widgets/Icons.h"

#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsView::SettingsView(AppState& state, QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabWidget"));
    m_tabs->setFixedSize(300, 350);
    m_tabs->setDocumentMode(true);
    m_tabs->setUsesScrollButtons(false);
    // Four tabs share 300 points: compact symbols and text so that every label shows whole.
    m_tabs->setIconSize(QSize(14, 14));
    QFont tabFont = m_tabs->tabBar()->font();
    tabFont.setPointSizeF(tabFont.pointSizeF() * 0.85);
    m_tabs->tabBar()->setFont(tabFont);
    m_tabs->tabBar()->setExpanding(true);
    m_tabs->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 2px; }"));

    const QColor symbolColor = palette().color(QPalette::WindowText);
    m_tabs->addTab(new SettingsViewCache(),
        Icons::icon(QStringLiteral("externaldrive.connected.to.line.below"), symbolColor), QStringLiteral("Cache"));
    m_tabs->addTab(new SettingsViewDevices(state), Icons::icon(QStringLiteral("wifi.router"), symbolColor),
        QStringLiteral("Devices"));
    m_tabs->addTab(new SettingsViewInterface(), Icons::icon(QStringLiteral("uiwindow.split.2x1"), symbolColor),
        QStringLiteral("Interface"));
    m_tabs->addTab(
        new SettingsViewNetwork(), Icons::icon(QStringLiteral("network"), symbolColor), QStringLiteral("Network"));
    m_tabs->setCurrentIndex(0);
    layout->addWidget(m_tabs, 0, Qt::AlignCenter);
}
