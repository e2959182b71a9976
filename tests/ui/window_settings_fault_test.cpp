// The settings file in every bad shape an admin's machine can leave it in, through the window
// that loads it when it opens and saves it when it closes: no crash, no hang, empty fields for
// what cannot be read, and a file that cannot be written left exactly as it was.

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <random>
#include <sys/stat.h>

#include "WindowFaultFixture.h"

namespace {

constexpr qint64 kNoHangMs = 2000;
const QByteArray kSettings = "[Remote Admin]\r\nUsername=bob\r\nPassword=pw\r\nSavePass=true\r\n"
                             "IP=10.0.0.5\r\nPort=27888\r\n";

class SettingsFaultTest : public WindowFaultTest {
  protected:
    QString IniPath() const { return configDir.filePath("vyr.ini"); }

    void Put(const QByteArray& bytes) {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray Bytes() const {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Opens the window, which loads the settings; false when that took long enough to matter.
    bool Open() {
        QElapsedTimer took;
        took.start();
        Dlg();
        return took.elapsed() < kNoHangMs;
    }
    // Types new login fields and closes the window, which saves them.
    bool EditAndClose() {
        FillIn("192.168.1.9", "1234", "eve", "secret");
        Dlg().m_savePassCheck->setChecked(true);
        QElapsedTimer took;
        took.start();
        dlg.reset();
        return took.elapsed() < kNoHangMs;
    }

    void ExpectEmptyFields() {
        EXPECT_EQ(Dlg().m_userEdit->text(), "");
        EXPECT_EQ(Dlg().m_passwordEdit->text(), "");
        EXPECT_FALSE(Dlg().m_savePassCheck->isChecked());
        EXPECT_EQ(Dlg().m_hostEdit->text(), "");
        EXPECT_EQ(Dlg().m_portEdit->text(), "");
    }
};

TEST_F(SettingsFaultTest, ConfigDirectoryThatCannotBeWrittenLosesOnlyTheSave) {
    // A regular file where the directory should be, and a directory that not even root may
    // create files in.
    QFile blocker(configDir.filePath("not-a-directory"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (const QString& dir : {blocker.fileName(), QString("/proc")}) {
        SCOPED_TRACE(dir.toStdString());
        qputenv("XDG_CONFIG_HOME", dir.toLocal8Bit());
        ASSERT_TRUE(Open());
        ExpectEmptyFields();
        EXPECT_TRUE(EditAndClose());
    }
    EXPECT_EQ(QFileInfo(blocker.fileName()).size(), 0);
    EXPECT_FALSE(QFileInfo::exists("/proc/vyr.ini"));
}

TEST_F(SettingsFaultTest, ReadOnlyFileIsReadButNeverRewritten) {
    Put(kSettings);
    ASSERT_EQ(::chmod(IniPath().toLocal8Bit().constData(), 0444), 0);
    ASSERT_TRUE(Open());
    EXPECT_EQ(Dlg().m_userEdit->text(), "bob");
    EXPECT_EQ(Dlg().m_hostEdit->text(), "10.0.0.5");
    EXPECT_TRUE(EditAndClose());
    EXPECT_EQ(Bytes(), kSettings);
    EXPECT_EQ(QFileInfo(IniPath()).permissions() & QFileDevice::WriteOwner, 0);
}

TEST_F(SettingsFaultTest, DirectoryInPlaceOfTheFileStaysADirectory) {
    ASSERT_TRUE(QDir(configDir.path()).mkdir("vyr.ini"));
    ASSERT_TRUE(Open());
    ExpectEmptyFields();
    EXPECT_TRUE(EditAndClose());
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
}

TEST_F(SettingsFaultTest, BinaryGarbageReadsAsNoSettingsAndTheSaveReadsBack) {
    std::mt19937 random(1013);
    QByteArray garbage(64 * 1024, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    Put(garbage);
    ASSERT_TRUE(Open());
    ExpectEmptyFields();
    EXPECT_TRUE(EditAndClose());

    ASSERT_TRUE(Open());
    EXPECT_EQ(Dlg().m_userEdit->text(), "eve");
    EXPECT_EQ(Dlg().m_passwordEdit->text(), "secret");
    EXPECT_TRUE(Dlg().m_savePassCheck->isChecked());
    EXPECT_EQ(Dlg().m_hostEdit->text(), "192.168.1.9");
    EXPECT_EQ(Dlg().m_portEdit->text(), "1234");
}

TEST_F(SettingsFaultTest, TenMegabyteFileIsNeitherReadNorRewritten) {
    const QByteArray huge = kSettings + QByteArray(10 << 20, 'x');
    Put(huge);
    ASSERT_TRUE(Open());
    ExpectEmptyFields();
    EXPECT_TRUE(EditAndClose());
    EXPECT_TRUE(Bytes() == huge);
}

} // namespace
