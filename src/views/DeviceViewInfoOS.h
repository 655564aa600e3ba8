#pragma once

#include "control/ValidateReturn.h"

#include <QColor>
#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class AppState;
class Device;
class OVButton;
class OVButtonUpdate;
class QGridLayout;
class QLabel;

// The operating-system panel of a device: the refresh control with the time of the last refresh,
// and the installed RouterOS and RouterBOOT versions judged against their references with the
// matching update offer. Keeps no state of its own: everything is redrawn from the device.
class DeviceViewInfoOS : public QWidget
{
    Q_OBJECT
public:
    using Text = std::optional<QString>;

    enum class Row { routerOS, routerBOOT };
    enum class OfferKind { none, update, move, text };

    struct StatusIcon
    {
        QString symbol;
        QColor color;
    };
    struct Offer
    {
        OfferKind kind = OfferKind::none;
        QString symbol; // buttons only
        QString text;
        QString helpText; // buttons only

        bool operator==(const Offer&) const = default;
    };

    // `appState` supplies the latest RouterOS release; it may be null.
    DeviceViewInfoOS(Device* device, AppState* appState, QWidget* parent = nullptr);

    // Both rules draw nothing unless both texts are known (absent counts as "Unknown").
    static std::optional<StatusIcon> statusIcon(const Text& mine, const Text& reference);
    static Offer offer(Row row, const Text& mine, const Text& reference, bool upgrading);
    // Contains "beta" or "rc".
    static bool isPreRelease(const QString& version);
    // Whether the RouterOS action installs as a downgrade: below the current release, or a
    // pre-release at or above it.
    static bool downgradeFlag(const QString& installed, const QString& current);

    void toggleRefresh();
    void updateRouterOS();
    void updateRouterBOOT();

private:
    struct VersionRow
    {
        QLabel* version = nullptr;
        QLabel* statusIcon = nullptr;
        QWidget* offerCell = nullptr;
        QLabel* offerLabel = nullptr;
        OVButtonUpdate* offerButton = nullptr;
        std::optional<Offer> shownOffer;
    };

    void redraw();
    void addVersionRow(QGridLayout* grid, int index, const QString& prefix, const QString& label, VersionRow& row);
    void drawVersionRow(Row kind, VersionRow& row, const Text& mine, const Text& reference, bool upgrading);
    QString currentRouterOS() const;

    static QCoro::Task<> runRouterOSUpdate(QPointer<Device> device, QString currentRouterOS, QString downloadServer,
        bool restApiValidSSL, QString restApiTimeout);
    static QCoro::Task<> runRouterBOOTUpdate(QPointer<Device> device, bool restApiValidSSL, QString restApiTimeout);
    static void finishUpdate(Device* device, const std::optional<ValidateReturn>& result, Row row);

    QPointer<Device> m_device;
    QPointer<AppState> m_appState;

    OVButton* m_refreshButton = nullptr;
    QWidget* m_progress = nullptr;
    QLabel* m_updatedLabel = nullptr;
    VersionRow m_routerOS;
    VersionRow m_routerBOOT;
};
