// tsarin-pack extract: the engine run from the command line, on a good and a damaged file.
#include <cstdio>
#include <cstdlib>

#include "engine_fixture.h"

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

class ExtractCommand : public EngineTest {
 protected:
  Result Run(const std::string& arguments) {
    std::string command = std::string(TSARIN_PACK) + " extract " + arguments + " >" +
                          Host("stdout").string() + " 2>" + Host("stderr").string();
    int raw = std::system(command.c_str());
    Bytes out = ReadHost("stdout");
    Bytes err = ReadHost("stderr");
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(out.begin(), out.end()),
            std::string(err.begin(), err.end())};
  }
  std::string Setup() const { return Host("dist/setup.exe").string(); }
  std::string Out() const { return Host("out").string(); }
};

TEST_F(ExtractCommand, ExitStatusAndOutputFollowTheInstallsEnd) {
  Bytes good = SetupWriter()
                   .Stored("ReadMe.htm", Text("R"))
                   .Compressed("proto_c.txt", Content(5000, 1))
                   .End()
                   .bytes();
  WriteSetup(good);
  Result standard = Run(Setup() + " " + Out());
  EXPECT_EQ(standard.status, 0);
  EXPECT_EQ(standard.out, "Installation was successful.\n");
  EXPECT_EQ(standard.err, "");
  // A DIR whose parents are missing too is made with them, as the setup makes its target.
  EXPECT_EQ(Run(Setup() + " " + Host("new/deeper").string()).status, 0);
  EXPECT_FALSE(fs::exists(Host("out/proto_c.txt")));

  Result developer = Run("--developer " + Setup() + " " + Out());
  EXPECT_EQ(developer.status, 0);
  EXPECT_EQ(ReadHost("out/proto_c.txt"), Content(5000, 1));

  WriteSetup(Bytes(good.begin(), good.end() - 20));
  Result damaged = Run(Setup() + " " + Out());
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "Installation not successful.\n");
  EXPECT_EQ(damaged.err, "Tessarin Setup Error: Incomplete or damaged installation file!\n");

  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).Name(std::string(261, 'n')).End().bytes());
  Result overLong = Run(Setup() + " " + Out());
  EXPECT_EQ(overLong.status, 1);
  EXPECT_EQ(overLong.out, "Installation not successful.\n");

  // The folder of the setup file itself is never cleared.
  Result refused = Run(Setup() + " " + Host("dist").string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(fs::exists(Host("dist/setup.exe")));
}

}  // namespace
