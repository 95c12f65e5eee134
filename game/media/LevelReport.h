// Level-event reports to the optional reporting module: a stack of the levels the scripts have
// entered, so that every report carries the number of the innermost open level, and the report
// operations the scripts, the word-guess dialog and the options screen use. Reports go through the
// engine's reporting hook table, whose defaults do nothing when the module is absent.
#pragma once

#include <cstdint>
#include <string>

void ReportEnterLevel(const std::wstring& name, int32_t number);
void ReportExitLevel(const std::wstring& reason, const std::wstring& item);
void ReportGoodAction(const std::wstring& name, const std::wstring& value);
void ReportBadAction(const std::wstring& name, const std::wstring& value);
void ReportPowerUpUsed(const std::wstring& name, const std::wstring& value);
void ReportStatChanged(const std::wstring& name, double value);
void ReportOptionChange(const std::wstring& key, const std::wstring& value);

// Empties the open-level stack (tests, and a game started again in the same process).
void ResetLevelReports();
// How many levels are open.
size_t GetOpenLevelCount();

// Adds the six "Tessel..." script functions to the engine's script-function list.
void RegisterLevelReportFunctions();
