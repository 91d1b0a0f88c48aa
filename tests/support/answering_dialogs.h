// Modal dialogs that answer for the person at the screen: the files the test sets, no save path,
// and every message kept.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "qt/modal_dialogs.h"

namespace taloran::test {

struct AnsweringDialogs : ModalDialogs {
  std::function<std::vector<std::string>()> files = [] { return std::vector<std::string>{}; };
  std::vector<std::string> messages;
  std::vector<std::string> errors;  // shown under an error's icon

  void SetFiles(std::function<std::vector<std::string>()> answer) { files = std::move(answer); }
  std::vector<std::string> ChooseFiles(QWidget*, const QString&, const QString&) override { return files(); }
  std::optional<std::string> ChooseSavePath(QWidget*, const std::string&) override { return std::nullopt; }
  void ShowMessage(QWidget*, const std::string& text) override { messages.push_back(text); }
  void ShowError(QWidget*, const std::string& text) override { errors.push_back(text); }

  // The calibration's questions: the text typed, whether to save, the file chosen.
  std::vector<std::string> typed;  // answers in turn; cancelled once they run out
  bool save = true;
  std::optional<std::string> jsonFile;
  std::optional<std::string> AskText(QWidget*, const QString&, const std::string&, const QString&) override {
    if (typed.empty()) return std::nullopt;
    std::string answer = typed.front();
    typed.erase(typed.begin());
    return answer;
  }
  bool ConfirmSave(QWidget*, const QString&, const std::string& text) override {
    messages.push_back(text);
    return save;
  }
  std::optional<std::string> ChooseJsonFile(QWidget*, const QString&, const std::string&, bool) override {
    return jsonFile;
  }
  std::optional<ExportChoice> exportChoice;  // the export dialog's answer
  std::optional<ExportChoice> ChooseExport(QWidget*, const ExportChoice&, bool) override { return exportChoice; }
};

}  // namespace taloran::test
