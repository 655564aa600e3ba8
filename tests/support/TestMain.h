#pragma once

// Core tests do not link the widgets module; widget tests do.
#if __has_include(<QApplication>)
#include <QApplication>
#endif
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <cstdlib>

namespace OrvantaTest {
// Gives this test executable a home folder of its own, so that test executables running side by
// side never share a store, settings, a package cache or known_hosts. A child process started by
// a test keeps its parent's home (it plays the same user restarting the application). Returns the
// folder when this process made it (and removes it at the end), empty otherwise.
inline QString isolateHome()
{
    const QByteArray inherited = qgetenv("ORVANTA_TEST_HOME");
    if (!inherited.isEmpty()) {
        qputenv("HOME", inherited);
        return {};
    }
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty())
        base = "/tmp";
    QByteArray pattern = base + "/orvanta-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    qputenv("HOME", pattern);
    qputenv("ORVANTA_TEST_HOME", pattern);
    return QString::fromLocal8Bit(pattern);
}
} // namespace OrvantaTest

// Every test runs against test-mode locations under a home of its own so that it never touches
// the user's store, settings or package cache; this must happen before the first path is asked for.
#define ORVANTA_TEST_MAIN_IMPL(AppClass, TestObject)                                                                   \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        const QString ownHome = OrvantaTest::isolateHome();                                                            \
        QStandardPaths::setTestModeEnabled(true);                                                                      \
        int result = 0;                                                                                                \
        {                                                                                                              \
            AppClass app(argc, argv);                                                                                  \
            AppClass::setOrganizationName("Orvanta");                                                                  \
            AppClass::setApplicationName("Orvanta");                                                                   \
            app.setAttribute(Qt::AA_Use96Dpi, true);                                                                   \
            TestObject tc;                                                                                             \
            QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
            result = QTest::qExec(&tc, argc, argv);                                                                    \
        }                                                                                                              \
        if (!ownHome.isEmpty())                                                                                        \
            QDir(ownHome).removeRecursively();                                                                         \
        return result;                                                                                                 \
    }

// Core tests: no widgets.
#define ORVANTA_TEST_MAIN(TestObject) ORVANTA_TEST_MAIN_IMPL(QCoreApplication, TestObject)
// Widget tests.
#define ORVANTA_WIDGET_TEST_MAIN(TestObject) ORVANTA_TEST_MAIN_IMPL(QApplication, TestObject)
