#pragma once

#include <QString>
#include <QWidget>

#include <chrono>

class OVMessageInfo;
class QLabel;
class QVBoxLayout;

// The "Cache" settings tab: how much room the RouterOS package cache takes, and a button that
// empties it. After a purge "Cache purged" is shown for a while.
class SettingsViewCache : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsViewCache(
        std::chrono::milliseconds purgedFor = std::chrono::seconds(3), QWidget* parent = nullptr);

    bool purged() const { return m_purged; }
    QString cacheSize() const { return m_cacheSize; }

    // Reads the cache size again (each time the pane is shown).
    void loadCacheSize();
    // Empties the cache, shows the new size and the confirmation.
    void purgeCache();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setPurged(bool purged);

    std::chrono::milliseconds m_purgedFor;
    bool m_purged = false;
    QString m_cacheSize = QStringLiteral("Unknown");
    QLabel* m_sizeLabel = nullptr;
    QVBoxLayout* m_layout = nullptr;
    OVMessageInfo* m_purgedMessage = nullptr;
};
