#include "JobFile.h"

#include <gtest/gtest.h>

using namespace brio;

namespace {

TEST(JobFileTest, WritesEveryFieldAndReadsItBack) {
    JobData job;
    job.applicationName = "C:\\BRIO\\VELMORAX\\bin\\run.exe";
    job.parameters = "  \"a b\" <c> & d\te\r\nf \x02 ñ€  ";
    job.workingDirectory = " ";
    job.flags = -2147483647 - 1;
    job.account = "operador";
    SchedTrigger& t = job.triggers.Add();
    t.setTriggerType(trigger::Weekly);
    t.setBeginDay(MakeDate(1, 1, 1));
    t.setStartTime(MakeDate(9999, 12, 31, 23, 59, 59).addMSecs(999));
    t.setEndDay(QDateTime());
    t.setDuration(-5);
    t.setInterval(2147483647);
    t.setRandomInterval(32767);
    t.setDaily_Interval(-32768);
    t.setWeekly_Interval(2);
    t.setWeekly_DaysOfTheWeek(10);
    job.triggers.Add();

    std::string content = WriteJob(job);
    JobData read;
    std::string problem;
    ASSERT_TRUE(ReadJob(content, read, problem)) << problem;
    EXPECT_EQ(read, job);
    // The password has no place in the file at all.
    EXPECT_EQ(content.find("assword"), std::string::npos);
}

TEST(JobFileTest, MissingFieldsTakeTheirDefaultsAndWrongOnesAreRefused) {
    JobData read;
    std::string problem;
    ASSERT_TRUE(ReadJob("<job version=\"1\"><trigger/></job>", read, problem)) << problem;
    EXPECT_EQ(read.flags, 0);
    ASSERT_EQ(read.triggers.Count(), 1);
    EXPECT_EQ(read.triggers.Item(1), SchedTrigger());

    read.account = "sin cambios";
    for (const char* bad :
         {"<job version=\"1\" flags=\"1x\"/>", "<job version=\"1\" flags=\"\"/>",
          "<job version=\"1\"><trigger Weekly_Interval=\"32768\"/></job>",
          "<job version=\"1\"><trigger BeginDay=\"2026-02-30T00:00:00\"/></job>",
          "<job version=\"1\"><trigger StartTime=\"08/12/2026\"/></job>", "<job version=\"0\"/>", "<job/>",
          "<job version=\"2\"/>", "<tarea version=\"1\"/>", "<job version=\"1\">", ""}) {
        EXPECT_FALSE(ReadJob(bad, read, problem)) << bad;
        EXPECT_FALSE(problem.empty()) << bad;
        EXPECT_EQ(read.account, "sin cambios") << bad;
    }
}

} // namespace
