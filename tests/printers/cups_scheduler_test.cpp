// The printer list and a queue's PPD on a real CUPS scheduler each test starts for itself.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "discovery_fixture.h"
#include "printers/cups_spooler.h"
#include "printers/queue_target.h"
#include "support/private_cupsd.h"

namespace tonalis::test {
namespace {

const std::string kMarked = TONALIS_CUPS_TEST_DATA "/marked.ppd";

// A server that takes connections (the kernel completes them) and never answers.
class SilentServer {
 public:
  SilentServer() {
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(fd_, 16) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      throw std::runtime_error("no silent server");
    address_ = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  }
  ~SilentServer() { ::close(fd_); }
  const std::string& address() const { return address_; }

 private:
  int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string address_;
};

struct SchedulerTest : DiscoveryFixture {
  std::string Run(const std::vector<std::string>& argv) {
    std::string out;
    EXPECT_EQ(cupsd->Run(argv, &out), 0) << out;
    return out;
  }
  std::unique_ptr<PrivateCupsd> cupsd = std::make_unique<PrivateCupsd>();
  std::unique_ptr<CupsSpooler> spooler =
      (cupsd->UseAsConfigured(), std::make_unique<CupsSpooler>());
};

TEST_F(SchedulerTest, EmptySchedulerHasNoPrinterAndAStoppedOneSaysWhy) {
  EXPECT_EQ(CountPrinters(*spooler, ui), 0u);
  EXPECT_TRUE(Discover(*spooler).empty() && ui.Empty());
  cupsd.reset();
  spooler = std::make_unique<CupsSpooler>();
  EXPECT_EQ(Discover(*spooler, 0), Names{});
  ASSERT_EQ(ui.Texts(), Names{"Cannot read the printers from the print server " +
                              spooler->ServerName() + "."});
  EXPECT_EQ(ui.shown()[0].detail, "Scheduler is not running");
  std::string bytes;
  const PpdQueueTarget queue(*spooler, {"", "Alpha"});
  EXPECT_EQ(queue.Read(bytes), EIO);
  EXPECT_EQ(queue.ReadFailure(EIO),
            "Scheduler is not running (print server " + spooler->ServerName() + ")");
}

TEST_F(SchedulerTest, ASilentServerFailsInTimeAndAMissingQueueIsNamedSo) {
  SilentServer silent;
  const std::string late = "The server did not answer within 1 second";
  SetSchedulerTimeout(1);
  const auto start = std::chrono::steady_clock::now();
  // Listing and reading as the command line does below; replacing here.
  EXPECT_EQ(CupsSpooler(silent.address()).ReplacePpd({"", "Q"}, "x").reason, late);
  SetSchedulerTimeout(kDefaultSchedulerTimeout);

  // The command line: exit status 1, the server and the reason.
  std::string out;
  const std::vector<std::string> silentCli = {"env", "CUPS_SERVER=" + silent.address(),
                                              TONALIS_CLI, "--timeout", "1"};
  auto cli = silentCli;
  cli.push_back("printers");
  EXPECT_EQ(cupsd->Run(cli, &out), 1);
  EXPECT_EQ(out, "tonalis-cli: Cannot read the printers from the print server " +
                     silent.address() + ".\ntonalis-cli: reason: " + late + "\n");
  cli = silentCli;
  cli.insert(cli.end(), {"apply", "--printer", "Q", "--server", silent.address(), "--library",
                         TONALIS_SAMPLE_LIBRARY});
  EXPECT_EQ(cupsd->Run(cli, &out), 1);
  EXPECT_EQ(out, "tonalis-cli: Q on " + silent.address() +
                     ": It failed to open a PPD file.\ntonalis-cli: reason: " + late + "\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "list", "--printer", "Nope"}, &out), 1);
  EXPECT_EQ(out, "tonalis-cli: Nope: It failed to open a PPD file.\ntonalis-cli: reason: "
                 "Invalid destination name (print server " + cupsd->Loopback() + ")\n");
}

TEST_F(SchedulerTest, ListsAcceptedQueuesAndThoseForwardingToAnotherServer) {
  PrivateCupsd other;
  other.AddQueue("Far", kMarked);
  cupsd->AddQueue("Alpha", kMarked);
  cupsd->AddQueue("Oem", TONALIS_CUPS_TEST_DATA "/oem.ppd");
  cupsd->AddQueue("Plain", TONALIS_CUPS_TEST_DATA "/plain.ppd");
  cupsd->AddRawQueue("Raw");
  cupsd->AddRawQueue("Fwd", "ipp://" + other.Loopback() + "/printers/Far");
  cupsd->SetDefault("Fwd");
  EXPECT_EQ(CountPrinters(*spooler, ui), 5u);
  EXPECT_EQ(Discover(*spooler), (Names{"Alpha", "Oem", "Fwd"}));
  EXPECT_TRUE(ui.Empty()) << ui.Texts().front();
  EXPECT_EQ(discovery.entries[2].target->Describe(), "Far on " + other.Loopback());
  EXPECT_TRUE(discovery.loaded && discovery.defaultEntry == 2u);

  // The command line lists them, marking the default.
  cupsd->SetDefault("Oem");
  EXPECT_EQ(Run({TONALIS_CLI, "printers"}),
            "  Alpha (Tonalis Test Marked Colour PS)\n* Oem (OEM XXX Colour PS)\n"
            "  Fwd (Tonalis Test Marked Colour PS) via " + other.Loopback() + "\n");
}

// The verdicts a listing keeps: a later listing uses them, yet a queue whose
// PPD lost the keyword drops out at once.
TEST_F(SchedulerTest, AQueueWhosePpdLostTheKeywordDropsOutDespiteAWarmCache) {
  TempDir cache;
  cupsd->AddQueue("Alpha", kMarked);
  cupsd->AddQueue("Beta", kMarked);
  cupsd->AddQueue("Plain", TONALIS_CUPS_TEST_DATA "/plain.ppd");
  // Verdicts on a configuration younger than two seconds are not kept.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  const std::vector<std::string> list = {"env", "XDG_CACHE_HOME=" + cache.path().string(),
                                         TONALIS_CLI, "printers"};
  const std::string both = "  Alpha (Tonalis Test Marked Colour PS)\n"
                           "  Beta (Tonalis Test Marked Colour PS)\n";
  EXPECT_EQ(Run(list), both);
  const std::string kept = ReadBytes(cache / "tonalis/printers.json");
  EXPECT_NE(kept.find("\"Plain\""), std::string::npos) << kept;
  EXPECT_EQ(Run(list), both);
  // The same make and model, with the keyword taken out of one PPD and put
  // into another: only the scheduler's configuration time tells.
  std::string unmarked = ReadBytes(kMarked), marked = ReadBytes(TONALIS_CUPS_TEST_DATA "/plain.ppd");
  unmarked.erase(unmarked.find("*QRHTUtility: True\n"), 19);
  marked.insert(marked.find("*OpenUI"), "*QRHTUtility: True\n");
  WriteBytes(cache / "unmarked.ppd", unmarked);
  WriteBytes(cache / "marked.ppd", marked);
  Run({"lpadmin", "-p", "Alpha", "-P", cache / "unmarked.ppd"});
  Run({"lpadmin", "-p", "Plain", "-P", cache / "marked.ppd"});
  EXPECT_EQ(Run(list), "  Beta (Tonalis Test Marked Colour PS)\n"
                       "  Plain (Tonalis Test Plain Colour PS)\n");
}

TEST_F(SchedulerTest, ApplyingChangesThatQueueOnlyItsSavedChoiceFollowsAndARefusalKeepsThePpd) {
  cupsd->AddQueue("Alpha", kMarked);
  cupsd->AddQueue("Beta", kMarked);
  const std::string beta = cupsd->PpdFile("Beta");
  TempDir dir;
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  const auto apply = [&](const char* name) {
    Run({TONALIS_CLI, "apply", "--printer", "Alpha", "--library", dir / "QR_grad.dat", name});
  };
  apply("Darker");
  EXPECT_EQ(cupsd->PpdFile("Alpha").find('\r'), std::string::npos);
  EXPECT_EQ(cupsd->PpdFile("Beta"), beta);
  // When a later apply drops Darker, the user's saved choice of it goes too.
  Run({"lpoptions", "-p", "Alpha", "-o", "VLTone=Gumma1"});
  ASSERT_NE(Run({"lpoptions", "-p", "Alpha"}).find("VLTone=Gumma1"), std::string::npos);
  apply("Standard");
  EXPECT_EQ(Run({"lpoptions", "-p", "Alpha"}).find("VLTone"), std::string::npos);
  // A replacement the scheduler refuses leaves the PPD as it was; a gone queue stays gone.
  const std::string before = cupsd->PpdFile("Alpha");
  const ReplaceResult refused = PpdQueueTarget(*spooler, {"", "Alpha"}).Replace("not a PPD\r\n");
  EXPECT_EQ(refused.failedStep, "scheduler");
  EXPECT_FALSE(refused.ok || refused.reason.empty());
  EXPECT_EQ(cupsd->PpdFile("Alpha"), before);
  EXPECT_EQ(PpdQueueTarget(*spooler, {"", "Gone"}).Replace(before).error, ENOENT);
  EXPECT_NE(cupsd->Run({"lpstat", "-p", "Gone"}), 0);
}

// The density controls of a PPD: from its *OpenUI line to its *CloseUI line.
std::string SectionOf(const std::string& ppd) {
  const std::size_t start = ppd.find("*OpenUI *VLTone/");
  const std::size_t end = ppd.find("*CloseUI: *VLTone", start);
  return start == std::string::npos || end == std::string::npos ? "" : ppd.substr(start, end - start);
}

// What each write to a queue leaves in the records, after a driver update
// re-installs one queue's PPD, someone changes another's and a third is
// removed: check tells them apart and restore puts the written sections back.
TEST_F(SchedulerTest, RecordedQueuesAreCheckedAndRestoredAfterADriverUpdate) {
  TempDir state, dir;
  setenv("XDG_STATE_HOME", state.path().c_str(), 1);
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  for (const char* queue : {"Alpha", "Beta", "Gamma"}) {
    cupsd->AddQueue(queue, kMarked);
    Run({TONALIS_CLI, "apply", "--printer", queue, "--library", dir / "QR_grad.dat", "Warm", "Darker"});
  }
  Run({TONALIS_CLI, "default", "--printer", "Alpha", "Darker"});
  const std::string written = SectionOf(cupsd->PpdFile("Alpha"));
  ASSERT_NE(written.find("*DefaultVLTone: Gumma2"), std::string::npos);
  EXPECT_EQ(Run({TONALIS_CLI, "check"}), "Alpha: in place\nBeta: in place\nGamma: in place\n");

  std::string updated = ReadBytes(kMarked);
  updated.insert(updated.find("*NickName"), "*% driver 2.0\n");
  WriteBytes(dir / "updated.ppd", updated);
  Run({"lpadmin", "-p", "Alpha", "-P", dir / "updated.ppd"});
  std::string beta = cupsd->PpdFile("Beta");
  beta.replace(beta.find("/Warm:"), 6, "/Cold:");
  WriteBytes(dir / "beta.ppd", beta);
  Run({"lpadmin", "-p", "Beta", "-P", dir / "beta.ppd"});
  Run({"lpadmin", "-x", "Gamma"});
  std::string out;
  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "check"}, &out), 1);
  EXPECT_EQ(out, "Alpha: lost (the PPD has no density controls any more; a driver update may have "
                 "replaced it)\nBeta: changed by someone else\nGamma: gone (the server has no such "
                 "queue)\n");

  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "restore", "--printer", "Alpha", "--printer", "Beta"}, &out), 0)
      << out;
  EXPECT_EQ(out, "Alpha: restored \"Warm\", \"Darker\"\nBeta: restored \"Warm\", \"Darker\"\n");
  const std::string alpha = cupsd->PpdFile("Alpha");
  EXPECT_EQ(SectionOf(alpha), written);  // byte for byte
  EXPECT_NE(alpha.find("*% driver 2.0"), std::string::npos);  // on the new vendor part
  EXPECT_EQ(Run({TONALIS_CLI, "check", "--printer", "Alpha", "--printer", "Beta"}),
            "Alpha: in place\nBeta: in place\n");
  // A default chosen with lpadmin is no change.
  Run({"lpadmin", "-p", "Alpha", "-o", "VLTone=Gumma1"});
  EXPECT_EQ(Run({TONALIS_CLI, "check", "--printer", "Alpha"}), "Alpha: in place\n");
  unsetenv("XDG_STATE_HOME");
}

// The test chart goes through the queue's filters with the density control
// chosen for the job, as the print dialog chooses it.
TEST_F(SchedulerTest, TheChartPrintsWithTheChosenDensityControl) {
  TempDir dir;
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  const std::string device = dir / "out.prn";
  Run({"lpadmin", "-p", "Alpha", "-E", "-v", "file://" + device, "-P", kMarked});
  Run({TONALIS_CLI, "apply", "--printer", "Alpha", "--library", dir / "QR_grad.dat", "Warm", "Darker"});
  Run({TONALIS_CLI, "default", "--printer", "Alpha", "Warm"});
  const auto printed = [&](const std::vector<std::string>& args) {
    std::filesystem::remove(device);
    std::vector<std::string> argv = {TONALIS_CLI, "chart", "--printer", "Alpha", "--date", "2026-12-08"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string said = Run(argv);
    for (int i = 0; i < 300 && Run({"lpstat", "-o", "Alpha"}).size() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::make_pair(said, ReadBytes(device));
  };
  const auto [said, job] = printed({"--control", "Darker"});
  EXPECT_EQ(said.substr(0, said.find(" as job")), "sent the chart (21 patches per colour) to Alpha");
  EXPECT_NE(said.find("with \"Darker\" (VLTone=Gumma2)"), std::string::npos) << said;
  EXPECT_NE(job.find("%%BeginFeature: *VLTone Gumma2"), std::string::npos);
  EXPECT_NE(job.find("Density control: Darker"), std::string::npos);  // on the page
  // None overrides the queue's default choice.
  const auto [saidNone, jobNone] = printed({"--control", "none"});
  EXPECT_NE(saidNone.find("with no density control"), std::string::npos) << saidNone;
  EXPECT_EQ(jobNone.find("*VLTone Gumma"), std::string::npos);
  EXPECT_NE(jobNone.find("%%Page:"), std::string::npos);

  std::string out;
  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "chart", "--printer", "Alpha", "--control", "Cold"}, &out), 1);
  EXPECT_EQ(out, "tonalis-cli: Alpha has no density control \"Cold\"; its controls are \"Warm\", "
                 "\"Darker\"\n");
  Run({"lpadmin", "-p", "Plain", "-E", "-v", "file:/dev/null", "-P", TONALIS_CUPS_TEST_DATA "/plain.ppd"});
  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "chart", "--printer", "Plain", "--control", "Warm"}, &out), 1);
  EXPECT_NE(out.find("Plain"), std::string::npos) << out;
  Run({"cupsdisable", "Alpha"});
  Run({"cupsreject", "Alpha"});
  EXPECT_EQ(cupsd->Run({TONALIS_CLI, "chart", "--printer", "Alpha"}, &out), 1);
  EXPECT_NE(out.find("Alpha: the chart cannot be printed: "), std::string::npos) << out;
}

}  // namespace
}  // namespace tonalis::test
