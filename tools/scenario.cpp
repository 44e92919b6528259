#include "tools/scenario.h"

#include "bridge/json_text.h"

#include <fstream>
#include <sstream>

namespace {

bool ReadUiScripts(const Json::Value& ui, std::vector<std::string>& scripts) {
  if (ui.isNull()) return true;
  if (ui.isString()) {
    scripts.push_back(ui.asString());
    return true;
  }
  if (!ui.isArray() || ui.empty()) return false;
  for (const Json::Value& script : ui) {
    if (!script.isString()) return false;
    scripts.push_back(script.asString());
  }
  return true;
}

}  // namespace

bool ReadScenario(const std::string& path, Scenario& scenario, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  Json::Value root;
  if (!ReadJsonText(text.str(), root) || !root.isObject()) {
    error = path + " is not a JSON object";
    return false;
  }
  if (!ReadUiScripts(root["ui"], scenario.uiScripts)) {
    error = "\"ui\" must be a script or a non-empty list of scripts";
    return false;
  }
  if (!(root["confirm"].isBool() || root["confirm"].isNull())) {
    error = "\"confirm\" must be true or false";
    return false;
  }
  scenario.confirm = root["confirm"].asBool();
  scenario.pages = root["pages"].isNull() ? Json::Value(Json::objectValue) : root["pages"];
  // The pages are checked when they are handed to the engine.
  return true;
}
