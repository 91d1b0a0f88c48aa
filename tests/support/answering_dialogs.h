// Modal dialogs that answer for the person at the screen: the files the test sets, no save path,
// and every message kept.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qt/modal_dialogs.h"

namespace taloran::test {

struct AnsweringDialogs : ModalDialogs {
  std::function<std::vector<std::string>()> files = [] { return std::vector<std::string>{}; };
  std::vector<std::string> messages;

  void SetFiles(std::function<std::vector<std::string>()> answer) { files = std::move(answer); }
  std::vector<std::string> ChooseFiles(QWidget*, const QString&, const QString&) override { return files(); }
  std::optional<std::string> ChooseSavePath(QWidget*, const std::string&) override { return std::nullopt; }
  void ShowMessage(QWidget*, const std::string& text) override { messages.push_back(text); }
};

}  // namespace taloran::test
