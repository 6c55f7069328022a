#pragma once

// The main window as the program has it, for the main window's and the batch run's tests: the
// seven windows created afresh, the main window shown, and a temporary working directory with
// the settings database and a language whose every text names its own key, "T<form>:<key>", so a
// test sees which text a message looked up.
//
//   MainWindowFixture fixture;          // in init(); destroyed in cleanup()
//   QVERIFY(fixture.isValid());
//   const QString a = fixture.writeJpeg("a.jpg", 64, 48);
//   DropFiles(Form1->ListBox1, {a});
//   QCOMPARE(Form1->StatusBar->currentMessage(), MainWindowFixture::Text(1, "ImagenMsg2"));

#include "support/DatabaseFixture.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace kavenra::testing {

class MainWindowFixture {
  public:
    enum class Texts {
        KeyNames,  // every text is "T<form>:<key>"
        Shipped,   // the databases the build installs, their active language shown everywhere
    };

    // `storedSettings` are assignments to the settings' columns ("guardar_como = '4'"), made
    // before the windows are created, as a user's earlier choices stand when the program starts.
    explicit MainWindowFixture(Texts texts = Texts::KeyNames,
                               const QStringList& storedSettings = {});
    ~MainWindowFixture();
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    bool isValid() const { return valid_; }

    // The text that LookupCaption gives for a key in the fixture's language.
    static QString Text(int form, const char* key);
    // The question a failed file asks: its name, the reason's line when `reasonKey` is given,
    // and whether to go on.
    static QString FailureQuestion(const QString& fileName, const char* reasonKey);

    // A folder for a test's images; its path ends without "/".
    QString imageFolder() const { return images_.path(); }
    QString imagePath(const QString& name) const { return images_.filePath(name); }

    // Image files in the image folder (subfolders are created); each returns the full path, or
    // an empty text when the file could not be written.
    QString writeJpeg(const QString& name, int width, int height, unsigned seed = 1) const;
    QString writePng(const QString& name, int width, int height, unsigned seed = 1) const;
    QString writeCameraRaw(const QString& name, unsigned seed = 7) const;
    QString writeText(const QString& name, const QByteArray& content) const;

    // Lets the counting pass that a drop started run to its end on its own timer.
    static bool WaitForCountingPass();

  private:
    QString prepare(const QString& name) const;

    DatabaseFolder databases_;
    QTemporaryDir images_;
    bool valid_ = false;
};

}  // namespace kavenra::testing
