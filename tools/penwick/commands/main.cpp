// penwick: replays pen traces through the driver's own code and shows what
// the filter does, so settings can be tuned before a device is rebooted.
#include <iostream>

#include "commands/commands.h"
#include "files/input.h"

int main(int argc, char** argv) {
    CLI::App app{"penwick: see what Penwick's filter does to pen input, before any reboot"};
    app.require_subcommand(1);
    AddReplayCommand(app);
    AddSynthCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "penwick: " << e.what() << " (see penwick --help)\n";
        return 2;
    } catch (const InputError& e) {
        std::cerr << "penwick: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
