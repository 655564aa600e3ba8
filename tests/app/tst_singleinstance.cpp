// One copy of the application per user: a second start of the real program hands over to the
// running copy and leaves before it opens the store.
#include "app/SingleInstance.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void secondStartHandsOverAndLeaves();

private:
    // The program, started as the user would, with its data under `dataHome`.
    std::unique_ptr<QProcess> start(const QString& dataHome);
    static QString storeUnder(const QString& dataHome);

    QString m_program;
};

void TestSingleInstance::initTestCase()
{
    m_program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/orvanta"));
    QVERIFY2(QFileInfo(m_program).isExecutable(), qPrintable(m_program));
}

std::unique_ptr<QProcess> TestSingleInstance::start(const QString& dataHome)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dataHome + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome + QStringLiteral("/config"));
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(m_program, {});
    return process;
}

QString TestSingleInstance::storeUnder(const QString& dataHome)
{
    return dataHome + QStringLiteral("/Orvanta/Orvanta/Orvanta.sqlite");
}

void TestSingleInstance::secondStartHandsOverAndLeaves()
{
    // This process plays the running copy.
    auto running = std::make_unique<SingleInstance>();
    QVERIFY(running->claim());
    QSignalSpy asked(running.get(), &SingleInstance::activationRequested);

    QTemporaryDir data;
    QVERIFY(data.isValid());
    auto second = start(data.path());
    const bool ended = second->waitForFinished(30000);
    if (!ended) {
        second->kill();
        second->waitForFinished(5000);
    }
    QVERIFY2(ended, "the second start kept running beside the first");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, 10000);
    // It left before it opened (and so created) the store.
    QVERIFY(!QFileInfo::exists(storeUnder(data.path())));

    // Once the running copy has ended, the next start is the one copy again.
    running.reset();
    SingleInstance next;
    QVERIFY(next.claim());
}

ORVANTA_WIDGET_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
