// penwick: replays pen traces through the driver's own code and shows what
// the filter does, so settings can be tuned before a device is rebooted.
#include <string.h>

#include <iostream>

#include "commands/commands.h"
#include "files/input.h"
#include "penwick_version.h"

int main(int argc, char** argv) {
    const std::string name = std::string("penwick ") + kPenwickVersion;
    CLI::App app{name + ": see what Penwick's filter does to pen input, before any reboot",
                 "penwick"};
    app.set_version_flag("--version", name);
    app.require_subcommand(1);
    AddReplayCommand(app);
    AddSynthCommand(app);
    AddLabelCommand(app);
    AddTuneCommand(app);
    AddCheckCommand(app);
    AddVerifyCommand(app);
    CLI::App* help = app.add_subcommand("help", "show this help, or a command's: penwick help COMMAND");
    std::string helpCommand;
    help->add_option("COMMAND", helpCommand, "the command");

    // Where a mistake on the command line is explained: the command's help.
    std::string helpHint = "penwick --help";
    for (int i = 1; i < argc; i++) {
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command != help && argv[i] == command->get_name()) {
                helpHint = "penwick " + command->get_name() + " --help";
            }
        }
        if (argv[i][0] != '-') {
            break;
        }
    }
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({})) {
            known = known || argv[1] == command->get_name();
        }
        if (!known) {
            std::cerr << "penwick: there is no command '" << argv[1] << "' (see penwick --help)\n";
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
        if (help->parsed()) {
            CLI::App* command = &app;
            if (!helpCommand.empty()) {
                command = nullptr;
                for (CLI::App* candidate : app.get_subcommands({})) {
                    command = candidate->get_name() == helpCommand ? candidate : command;
                }
            }
            if (command == nullptr) {
                std::cerr << "penwick: there is no command '" << helpCommand << "' (see penwick --help)\n";
                return 2;
            }
            std::string name = command == &app ? "penwick" : "penwick " + command->get_name();
            std::cout << command->get_formatter()->make_help(command, name, CLI::AppFormatMode::Normal);
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "penwick: " << e.what() << " (see " << helpHint << ")\n";
        return 2;
    } catch (const UsageError& e) {
        std::cerr << "penwick: " << e.what() << " (see " << helpHint << ")\n";
        return 2;
    } catch (const InputError& e) {
        std::cerr << "penwick: " << e.what() << "\n";
        return 1;
    } catch (const CommandStatus& status) {
        return status.exitCode;
    }
    return 0;
}
