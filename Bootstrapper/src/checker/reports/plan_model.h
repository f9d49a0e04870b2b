#pragma once
// The plan as the reports tell it, made once from the Plan: every step the run comes to
// and every way it can go, with what their parts mean already decided (which language
// needs which transform, whether a prerequisite runs on this machine, whose exit code a
// way ends with). The text and the JSON report only put it in their words.
//
// Texts are as the plan holds them, in the ANSI code page: each report makes them UTF-8
// in its own pieces.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checker/explored_runs/plan.h"

namespace boot {

// A program the run starts: its command line, and the application name (empty when none
// was given).
struct PlannedStart {
    std::string commandLine;
    std::string application;
};

struct PrerequisiteModel {
    std::string section;  // "Prereq0"
    std::string execute;
    std::string checkKey;
    std::string checkValue;
    std::string checkContent;
    bool doExecuteIfCheckIs = false;
    bool debug = false;
    std::int32_t expectedExitCode = 0;
    MachineCheck check = MachineCheck::unknown;
    std::optional<bool> runsHere;  // whether it runs on this machine, where its check is known
    std::vector<std::string> notes;
};

// How this machine's Windows Installer answered for the product.
struct InstalledProduct {
    bool installed = false;
    std::string version;  // empty when not installed
    bool newer = false;   // the package's version is greater than the installed one
};

struct PackageModel {
    std::string path;
    std::string languagesFolder;  // where the setup looks for transforms; empty before it reads that
    std::uint32_t packagesFound = 0;  // the directory search's packages, when there are several
    std::string ntfsFirstPackage;
    bool read = false;  // the run comes past the package: what follows is the package's
    std::string productCode;
    std::string productVersion;
    std::int32_t productLanguage = 0;
    std::optional<std::string> template64Bit;  // a 64-bit package's Template
    // Where this machine's run came to ask Windows Installer for the product.
    std::optional<InstalledProduct> installed;
};

struct LanguageModel {
    std::int32_t id = 0;
    const char* name = "";
    std::optional<std::string> transform;  // none for the package's own language
    std::string transformVerdict;          // whether Windows Installer takes it, or empty
    std::string installCommand;            // msiexec's command line, empty when not started
};

struct InstallerModel {
    std::string msiexec;
    bool machineAnswered = false;        // the machine says whether the product is installed
    bool newInstallation = false;        // a new installation is shown (per language)
    bool maintenance = false;            // a maintenance run is shown
    std::optional<std::string> recache;  // shown before the maintenance run (may be empty)
    std::string maintenanceCommand;
};

// Whose exit code a way ends with, where it is not one the checker can tell.
enum class ExitCodeOf { run, msiexec, prerequisite };

struct WayEndModel {
    RunStage stage = RunStage::done;
    std::int32_t exitCode = 0;  // the run's; for msiexec's or a prerequisite's, only the one given
    ExitCodeOf exitCodeOf = ExitCodeOf::run;
    std::optional<std::string> lastBox;  // the way's own last box
};

struct WayModel {
    std::size_t number = 0;          // from 1
    std::optional<WayEvent> branch;  // the choice that makes this way; none for the first
    bool machineTakes = false;       // the way this machine's answers take
    std::vector<WayEvent> events;    // after the branch
    std::size_t joinsWay = 0;        // the way it joins (its number), 0 when none
    std::string joinsAt;             // and the choice point there
    std::optional<WayEndModel> end;  // unless it joins
};

struct WaysModel {
    std::size_t runs = 0;
    std::size_t exploredPrerequisites = 0;
    bool prerequisitesBeyond = false;
    std::size_t machineWay = 0;  // its number, 0 when the machine is not known
    std::vector<WayModel> ways;
};

// Where and how the run ends before the installer, when it does.
struct PlanEndModel {
    RunStage stage = RunStage::start;
    std::string message;
    bool showsPrerequisiteExitCode = false;
    std::string checkStopped;  // why the check stops here, or empty
};

struct PlanModel {
    std::string folder;
    bool machineKnown = false;
    bool setupIniIsUtf8 = false;
    std::string deepestPath;
    std::size_t pathBudget = 0;
    std::optional<PlanEndModel> end;
    // How many of the steps the run comes to, in run order: pre-setup, prerequisites,
    // package, languages, installer.
    std::size_t steps = 0;
    std::optional<PlannedStart> preSetup;
    bool preSetupPassed = false;  // the run goes past the pre-setup step
    std::vector<PrerequisiteModel> prerequisites;
    bool prerequisitesPassed = false;  // the run goes past the prerequisites
    PackageModel package;
    std::vector<LanguageModel> languages;  // those offered
    std::optional<std::string> documentationTransform;
    InstallerModel installer;
    WaysModel ways;
};

PlanModel ModelOfPlan(const Plan& plan);

}  // namespace boot
