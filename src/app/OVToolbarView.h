#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <optional>

class AppState;
class OVButton;

// The main window's toolbar content: one button showing "Current RouterOS: " and the latest
// RouterOS release of the chosen channel. It looks the release up on the vendor's upgrade server
// when it is first shown and on every press, and writes the answer into AppState::currentRouterOS.
class OVToolbarView : public QWidget
{
    Q_OBJECT
public:
    static constexpr std::chrono::seconds LookupTimeout {30};

    // The upgrade server is the state's (by default "https://upgrade.mikrotik.com").
    explicit OVToolbarView(AppState& state, QWidget* parent = nullptr);
    OVToolbarView(AppState& state, const QString& upgradeServer, QWidget* parent = nullptr);

    // Starts a lookup for the stored release channel and returns at once; the answer is written
    // into currentRouterOS on the main thread when it arrives. Overlapping lookups are not
    // serialised: the one answered last wins.
    void fetchLatestRouterOS();

    // Shared with the Devices settings pane, so that both read the same file by the same rule.
    // "/routeros/LATEST.7" for the channel "Stable" exactly, "/routeros/LATEST.7rc" otherwise.
    static QString latestReleasePath(const QString& channel);
    // The text before the first blank of the body, or "Unknown" for a failed lookup (no body)
    // or a body without a blank.
    static QString parseLatestVersion(const std::optional<QByteArray>& body);
    // One bounded GET of the channel's file; the body, or nothing when the lookup failed.
    static QCoro::Task<std::optional<QByteArray>> requestLatestRelease(QString server, QString channel);
    // Looks the channel's latest release up and writes the outcome into `state` (if it still exists).
    static QCoro::Task<> lookupInto(QPointer<AppState> state, QString server, QString channel);

    OVButton* button() const { return m_button; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showVersion(const QString& version);

    AppState& m_state;
    QString m_upgradeServer;
    OVButton* m_button = nullptr;
};
