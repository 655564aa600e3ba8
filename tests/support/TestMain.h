#pragma once

// Core tests do not link the widgets module; widget tests do.
#if __has_include(<QApplication>)
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

// Every test runs against test-mode locations so that it never touches the user's store,
// settings or package cache; this must happen before the first path is asked for.
#define ORVANTA_TEST_MAIN_IMPL(AppClass, TestObject)                                                                   \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        QStandardPaths::setTestModeEnabled(true);                                                                      \
        AppClass app(argc, argv);                                                                                      \
        AppClass::setOrganizationName("Orvanta");                                                                      \
        AppClass::setApplicationName("Orvanta");                                                                       \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

// Core tests: no widgets.
#define ORVANTA_TEST_MAIN(TestObject) ORVANTA_TEST_MAIN_IMPL(QCoreApplication, TestObject)
// Widget tests.
#define ORVANTA_WIDGET_TEST_MAIN(TestObject) ORVANTA_TEST_MAIN_IMPL(QApplication, TestObject)
