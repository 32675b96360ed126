#include "app/instance_guard.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "app/qt_app.h"

namespace ormid {
namespace {

// Every test gets its own temporary folder (inherited by the probes), so the lock
// files of parallel runs never meet and none are left behind.
class InstanceGuardTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(folder_.isValid());
        savedTmp_ = qgetenv("TMPDIR");
        hadTmp_ = qEnvironmentVariableIsSet("TMPDIR");
        qputenv("TMPDIR", folder_.path().toLocal8Bit());
    }

    void TearDown() override
    {
        for (auto& p : holders_) {
            p->closeWriteChannel();
            if (!p->waitForFinished(10000))
                p->kill();
            p->waitForFinished(10000);
        }
        if (hadTmp_)
            qputenv("TMPDIR", savedTmp_);
        else
            qunsetenv("TMPDIR");
    }

    static QString probePath() { return QStringLiteral(ORMID_BIN_DIR "/guard_probe"); }

    static std::string readLine(QProcess& process)
    {
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return "<no answer>";
        return process.readLine().trimmed().toStdString();
    }

    // A probe that takes the guard and keeps it until told or ended.
    QProcess& startHolder(const QString& name)
    {
        holders_.push_back(std::make_unique<QProcess>());
        QProcess& p = *holders_.back();
        p.start(probePath(), {name, QStringLiteral("hold")});
        EXPECT_TRUE(p.waitForStarted(10000));
        return p;
    }

    // A probe that only tries the guard: "acquired" or "refused".
    std::string tryOnce(const QString& name)
    {
        QProcess p;
        p.start(probePath(), {name});
        const std::string answer = readLine(p);
        p.waitForFinished(10000);
        return answer;
    }

    const QString name_ = QStringLiteral("Ormid_Pgm-test-%1").arg(QCoreApplication::applicationPid());

private:
    QTemporaryDir folder_;
    QByteArray savedTmp_;
    bool hadTmp_ = false;
    std::vector<std::unique_ptr<QProcess>> holders_;
};

TEST_F(InstanceGuardTest, InOneProcessASecondGuardIsRefusedUntilTheFirstIsGone)
{
    const std::string name = name_.toStdString();
    auto first = std::make_unique<InstanceGuard>(name);
    ASSERT_TRUE(first->acquired());
    EXPECT_FALSE(InstanceGuard(name).acquired());
    EXPECT_TRUE(InstanceGuard(name + "-other").acquired());

    first->release();
    EXPECT_FALSE(first->acquired());
    first->release(); // a second release changes nothing
    {
        const InstanceGuard second(name);
        EXPECT_TRUE(second.acquired());
        EXPECT_FALSE(InstanceGuard(name).acquired());
    }
    EXPECT_TRUE(InstanceGuard(name).acquired()); // destruction released it
}

TEST_F(InstanceGuardTest, ARunningHolderTurnsAwayASecondProcess)
{
    QProcess& holder = startHolder(name_);
    ASSERT_EQ(readLine(holder), "acquired");
    EXPECT_EQ(tryOnce(name_), "refused");
    EXPECT_EQ(tryOnce(name_ + "-other"), "acquired");
}

TEST_F(InstanceGuardTest, AnEarlyReleaseHandsOverWhileTheHolderStillRuns)
{
    QProcess& holder = startHolder(name_);
    ASSERT_EQ(readLine(holder), "acquired");
    holder.write("release\n");
    ASSERT_EQ(readLine(holder), "released");
    EXPECT_EQ(tryOnce(name_), "acquired");
    EXPECT_EQ(holder.state(), QProcess::Running);
}

TEST_F(InstanceGuardTest, TheGuardIsFreeOnceTheHolderHasEndedNormallyOrByKill)
{
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "ended");
        QProcess& holder = startHolder(name_);
        ASSERT_EQ(readLine(holder), "acquired");
        ASSERT_EQ(tryOnce(name_), "refused");
        if (killed)
            holder.kill();
        else
            holder.closeWriteChannel();
        ASSERT_TRUE(holder.waitForFinished(10000));
        EXPECT_EQ(tryOnce(name_), "acquired");
    }
}

// The window starts its successor while it still holds the guard; a started
// program must not inherit the lock, or the guard would stay taken after release.
TEST_F(InstanceGuardTest, AStartedProgramDoesNotInheritTheLock)
{
    InstanceGuard guard(name_.toStdString());
    ASSERT_TRUE(guard.acquired());
    EXPECT_EQ(tryOnce(name_), "refused");

    QProcess& child = startHolder(name_ + "-child");
    ASSERT_EQ(readLine(child), "acquired");
    guard.release();
    EXPECT_EQ(tryOnce(name_), "acquired");
}

} // namespace
} // namespace ormid
