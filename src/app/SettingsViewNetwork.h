#pragma once

#include "SettingsPane.h"

class QLineEdit;

// The "Network" settings tab: whether router certificates must be trusted, and the request
// time-out in seconds. The time-out keeps only digits and never a lone "0".
class SettingsViewNetwork : public SettingsPane
{
    Q_OBJECT
public:
    explicit SettingsViewNetwork(QWidget* parent = nullptr);

private:
    void timeoutStored(const QString& key);

    QLineEdit* m_timeout = nullptr;
};
