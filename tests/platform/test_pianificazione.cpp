// The schedule's texts for systemd, cron and the Task Scheduler.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/pianificazione.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/variabili.h"

namespace bv {
namespace {

Pianificazione Esempio(std::vector<int> giorni) {
    Pianificazione p;
    p.ora = 7;
    p.minuto = 5;
    p.giorni = std::move(giorni);
    p.eseguibile = "/opt/bv backup/bvbackup";
    p.argomenti = {"--pianificato", "--dest", "/media/a\"b$c%d'e"};
    return p;
}

TEST(Pianificazione, Testi) {
    const struct {
        std::vector<int> giorni;
        std::string calendario;
        std::string cron;
        std::string xml;
    } casi[] = {
        {{}, "*-*-* 07:05:00", "5 7 * * * ", "<DaysInterval>1</DaysInterval>"},
        {{1, 5, 7}, "Mon,Fri,Sun *-*-* 07:05:00", "5 7 * * 1,5,0 ",
         "<Monday />\n          <Friday />\n          <Sunday />"},
    };
    for (const auto& c : casi) {
        const Pianificazione p = Esempio(c.giorni);
        EXPECT_EQ(CalendarioSystemd(p), c.calendario);
        EXPECT_NE(UnitaTimer(p).find("OnCalendar=" + c.calendario + "\nPersistent=true\n"),
                  std::string::npos);
        EXPECT_TRUE(RigaCrontab(p).starts_with(c.cron)) << RigaCrontab(p);
        EXPECT_NE(XmlAttivita(p).find(c.xml), std::string::npos) << c.xml;
    }
    const Pianificazione p = Esempio({});
    EXPECT_NE(UnitaServizio(p).find("ExecStart=\"/opt/bv backup/bvbackup\" \"--pianificato\" "
                                    "\"--dest\" \"/media/a\\\"b$$c%%d'e\"\n"),
              std::string::npos)
        << UnitaServizio(p);
    EXPECT_TRUE(RigaCrontab(p).ends_with(
        "'/opt/bv backup/bvbackup' '--pianificato' '--dest' '/media/a\"b$c\\%d'\\''e' "
        "# bvbackup-pianificazione"));
    const std::string xml = XmlAttivita(p);
    for (const char* voce :
         {"<StartBoundary>2000-01-01T07:05:00</StartBoundary>", "<LogonType>InteractiveToken</LogonType>",
          "<RunLevel>LeastPrivilege</RunLevel>", "<StartWhenAvailable>true</StartWhenAvailable>",
          "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
          "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
          "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>",
          "<Command>/opt/bv backup/bvbackup</Command>",
          "<Arguments>--pianificato --dest &quot;/media/a\\&quot;b$c%d&apos;e&quot;</Arguments>"})
        EXPECT_NE(xml.find(voce), std::string::npos) << voce;
}

TEST(Pianificazione, UnitaAccettateDaSystemd) {
    BV_SOLO_POSIX("systemd");
    if (!std::filesystem::exists("/usr/bin/systemd-analyze")) GTEST_SKIP() << "senza systemd-analyze";
    test::CartellaTemp t;
    test::ImpostaVariabile("BVBACKUP_PIANIFICAZIONE", t / "unita");
    Pianificazione p = Esempio({2, 3});
    p.eseguibile = "/bin/true";
    EXPECT_EQ(RegistraPianificazione(p), "systemd");
    const std::string comando = "systemd-analyze verify '" + (t / "unita/bvbackup.timer") + "' '" +
                                (t / "unita/bvbackup.service") + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(comando.c_str()), 0);
    RimuoviPianificazione();
    EXPECT_FALSE(std::filesystem::exists(t / "unita/bvbackup.timer"));
    test::TogliVariabile("BVBACKUP_PIANIFICAZIONE");
}

}  // namespace
}  // namespace bv
