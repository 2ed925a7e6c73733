#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives one test its own settings store and working folder, and restores the
// working folder afterwards. Create one in init(), destroy it in cleanup().
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    bool isValid() const { return root.isValid(); }
    QString configFolder() const;
    QString workFolder() const;
    // The settings file the program uses, for processes started by the test.
    QString settingsFile() const;

    // Application identity as the program sets it.
    static void setApplicationIdentity();

private:
    QTemporaryDir root;
    QString previousFolder;
};
