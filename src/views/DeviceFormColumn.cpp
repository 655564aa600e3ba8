#include "DeviceFormColumn.h"

#include "OVDevControl.h"
#include "OVDevCredentials.h"
#include "widgets/OVButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
OVButton* actionButton(DeviceFormColumn::Action action, QWidget* parent)
{
    auto* button = new OVButton(action.systemName, action.text, action.helpText, std::move(action.run), parent);
    button->setObjectName(action.objectName);
    return button;
}
} // namespace

DeviceFormColumn::DeviceFormColumn(DeviceFormState& state, const QString& title, const QString& titleObjectName,
    const QMargins& titleMargins, Action cancel, Action confirm, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    auto* titleLabel = new QLabel(title, this);
    titleLabel->setObjectName(titleObjectName);
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(titleMargins);
    titleRow->addWidget(titleLabel);
    titleRow->addStretch(1);
    column->addLayout(titleRow);

    column->addWidget(new OVDevCredentials(state, 95, Qt::transparent, this));
    column->addWidget(new OVDevControl(state, 95, Qt::transparent, this));

    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("busyProgressBar"));
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setFixedSize(14, 7);
    m_busy->setVisible(false);
    actions->addWidget(m_busy);
    actions->addSpacing(1);
    actions->addWidget(actionButton(std::move(cancel), this));
    m_confirm = actionButton(std::move(confirm), this);
    actions->addWidget(m_confirm);
    column->addLayout(actions);
}

void DeviceFormColumn::setBusy(bool busy)
{
    m_busy->setVisible(busy);
    m_confirm->setEnabled(!busy);
}
