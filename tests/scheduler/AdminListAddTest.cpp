#include "AdminFixture.h"
#include "ListDocument.h"

#include <pugixml.hpp>

using namespace brio;
using namespace brio::test;

namespace {

class AdminListAdd : public AdminFixture {};

pugi::xml_document parse(const std::string& text) {
    pugi::xml_document doc;
    doc.load_string(text.c_str());
    return doc;
}

std::vector<std::string> attributeNames(pugi::xml_node node) {
    std::vector<std::string> names;
    for (pugi::xml_attribute a : node.attributes())
        names.emplace_back(a.name());
    return names;
}

} // namespace

TEST_F(AdminListAdd, ImportWritesACompleteEntryInTheListFileOrder) {
    SchedTrigger weekly = Daily(9, 30);
    weekly.setTriggerType(trigger::Weekly);
    weekly.setWeekly_DaysOfTheWeek(2 | 8);
    weekly.setWeekly_Interval(2);
    makeTask("Copia", taskflag::disabled | taskflag::interactive, {Daily(2, 0), weekly});
    admin().Import({"copia"}); // the scheduler finds names without regard to case

    const auto doc = parse(readList());
    const pugi::xml_node entry = doc.child("TAREAS").child("TAREA");
    EXPECT_EQ(attributeNames(entry),
              (std::vector<std::string>{"name", "applicationName", "workingDirectory", "commandLine",
                                        "selected", "disabled", "text"}));
    EXPECT_STREQ(entry.attribute("name").value(), "Copia");
    EXPECT_STREQ(entry.attribute("disabled").value(), "1");
    EXPECT_STREQ(entry.attribute("text").value(),
                 "A las 9:30 cada lun, mié de cada 2 semanas, a partir del 08/12/2026");
    const pugi::xml_node config = entry.child("CONFIGURACION");
    EXPECT_EQ(attributeNames(config).size(), 13u);
    EXPECT_STREQ(config.attribute("disabled").value(), "1");
    EXPECT_STREQ(config.attribute("interactive").value(), "1");
    EXPECT_STREQ(config.attribute("hidden").value(), "0");
    EXPECT_EQ(std::string(entry.last_child().name()), "TRIGGERS");
    const pugi::xml_node second = entry.child("TRIGGERS").first_child().next_sibling();
    EXPECT_EQ(attributeNames(second),
              (std::vector<std::string>{"triggerType", "typeDescription", "BeginDay", "StartTime", "Duration",
                                        "EndDay", "Interval", "Flags", "RandomInterval",
                                        "Weekly_DaysOfTheWeek", "Weekly_Interval"}));
    EXPECT_STREQ(second.attribute("typeDescription").value(), "WeeklyTrigger");
}

TEST_F(AdminListAdd, ReplacingMovesTheEntryToTheEndAndDropsListOnlyAttributes) {
    makeTask("A", 0, {Daily(1, 0)});
    makeTask("B", 0, {});
    clsAdminTask a = admin();
    a.Import({"A", "B"});
    a.SetXMLAttr("A", "StartTimeRandom", "15");
    a.SetXMLAttr("A", "Seleccion", "3");
    a.Import({"A"});
    const TareaList list = clsAdminTask(home.path(), {}, HostPaths({})).getXMLTaskList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name(), "B");
    EXPECT_EQ(list[0].Text(), "") << "a task without trigger has no text";
    EXPECT_EQ(list[1].Name(), "A");
    EXPECT_EQ(list[1].StartTimeRandom(), 0);
    EXPECT_EQ(a.GetXMLAttr("A", "Seleccion"), "");
    EXPECT_EQ(readList().find("<TAREA name=\"B\"") < readList().find("<TAREA name=\"A\""), true);
    EXPECT_EQ(parse(readList()).child("TAREAS").child("TAREA").child("TRIGGERS"), pugi::xml_node());
}

TEST_F(AdminListAdd, ImportStopsAtANameTheSchedulerDoesNotKnow) {
    makeTask("A", 0, {});
    try {
        admin().Import({"A", "Nadie", "A"});
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::SubscriptOutOfRange);
    }
    EXPECT_EQ(clsAdminTask(home.path(), {}, HostPaths({})).getXMLTaskList().size(), 1u);
}

TEST_F(AdminListAdd, AddingToAListWithAnotherRootFailsAndWritesNothing) {
    WriteText(listFile(), "<OTRA/>");
    makeTask("A", 0, {});
    EXPECT_THROW(admin().Import({"A"}), BrioError);
    EXPECT_EQ(readList(), "<OTRA/>");
}

TEST(TriggerTypeName, NamesEveryTypeAndNothingElse) {
    EXPECT_EQ(clsAdminTask::TriggerTypeName(0), "Once");
    EXPECT_EQ(clsAdminTask::TriggerTypeName(3), "MONTHLYDATE");
    EXPECT_EQ(clsAdminTask::TriggerTypeName(4), "MonthlyWeekDay");
    EXPECT_EQ(clsAdminTask::TriggerTypeName(7), "AtLogon");
    EXPECT_EQ(clsAdminTask::TriggerTypeName(8), "");
    EXPECT_EQ(clsAdminTask::TriggerTypeName(-1), "");
}
