// The fixture of the command-line tests: runs the real tonalis-cli in a
// temporary folder and captures its output.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/library_file.h"
#include "support/scripted_interaction.h"

namespace tonalis::test {

namespace fs = std::filesystem;

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Cli : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string out, err;
  };

  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tonalis-cli-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    lib_ = (dir_ / "QR_grad.dat").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Run(std::vector<std::string> args) {
    const std::string out = (dir_ / ".out").string(), err = (dir_ / ".err").string();
    const pid_t pid = fork();
    if (pid == 0) {
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      std::vector<char*> argv{const_cast<char*>(TONALIS_CLI)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TONALIS_CLI, argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    fs::remove(out);
    fs::remove(err);
    return r;
  }

  std::string WriteJson(const std::string& text) {
    const std::string path = (dir_ / "in.json").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
  }
  void CopySample() { fs::copy_file(fs::path(TONALIS_SAMPLES) / "QR_grad.dat", lib_); }

  std::unique_ptr<DefinitionLibrary> Load() {
    auto lib = std::make_unique<DefinitionLibrary>();
    const std::string text = ReadText(lib_);
    DecodeLibrary({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, *lib);
    return lib;
  }

  fs::path dir_;
  std::string lib_;
};

}  // namespace tonalis::test
