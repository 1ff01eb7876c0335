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

// The stores already written hold exactly this form; the runner and older copies of the program read it.
TEST(JobFileTest, WritesTheIndentedDocumentWithEscapedValues) {
    JobData job;
    job.applicationName = "a&b<c>\"d'\t\x1f";
    job.flags = -4;
    EXPECT_EQ(WriteJob(job), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<job version=\"1\" "
                             "applicationName=\"a&amp;b&lt;c>&quot;d'&#09;&#31;\" parameters=\"\" "
                             "workingDirectory=\"\" flags=\"-4\" account=\"\" />\n");
    SchedTrigger& t = job.triggers.Add();
    t.setBeginDay(MakeDate(2026, 12, 8));
    t.setStartTime(MakeDate(1899, 12, 30, 2, 0).addMSecs(5));
    t.setEndDay(QDateTime());
    const std::string content = WriteJob(job);
    EXPECT_NE(content.find(">\n  <trigger triggerType=\"1\" BeginDay=\"2026-12-08T00:00:00\" "
                           "StartTime=\"1899-12-30T02:00:00.005\" Duration=\"0\" EndDay=\"\" Interval=\"0\" "
                           "Flags=\"0\" RandomInterval=\"0\" Daily_Interval=\"1\" Weekly_DaysOfTheWeek=\"0\" "
                           "Weekly_Interval=\"1\" MonthlyDate_Day=\"0\" MonthlyDate_Months=\"0\" "
                           "MonthlyDOW_DaysOfTheWeek=\"0\" MonthlyDOW_Months=\"0\" MonthlyDOW_Week=\"0\" />\n"
                           "</job>\n"),
              std::string::npos)
        << content;
}

// Attributes in any order; the first of a repeated name counts, and the first wrong field is the one told.
TEST(JobFileTest, ReadsAttributesInAnyOrder) {
    JobData read;
    std::string problem;
    ASSERT_TRUE(ReadJob("<job account=\"b\" flags=\"3\" version=\"1\" account=\"c\"><trigger "
                        "MonthlyDOW_Week=\"5\" Flags=\"4\" triggerType=\"2\" Flags=\"9\"/></job>",
                        read, problem))
        << problem;
    EXPECT_EQ(read.account, "b");
    EXPECT_EQ(read.flags, 3);
    ASSERT_EQ(read.triggers.Count(), 1);
    EXPECT_EQ(read.triggers.Item(1).TriggerType(), 2);
    EXPECT_EQ(read.triggers.Item(1).Flags(), 4);
    EXPECT_EQ(read.triggers.Item(1).MonthlyDOW_Week(), 5);

    EXPECT_FALSE(ReadJob("<job version=\"1\"><trigger Interval=\"x\" BeginDay=\"y\"/></job>", read, problem));
    EXPECT_EQ(problem, "el valor «y» del atributo «BeginDay» de <trigger> no es válido");
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
