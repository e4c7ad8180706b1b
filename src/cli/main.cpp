// orbisight-cli: the client's engine from the command line, for scripting
// and for checking a camera or an account without a screen.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliArgs.h"

using namespace orbisight::cli;

namespace {

// The whole option list; docs/man/orbisight-cli.1 names the same options
// (a test compares the two).
int Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: orbisight-cli COMMAND [OPTIONS]\n"
                 "\n"
                 "camera commands (common options: --address LIST --user U --password P --id ID\n"
                 "                 [--timeout-ms MS]):\n"
                 "  params                         print both parameter blocks\n"
                 "  set-param FIELD=VALUE...       change parameters and send them\n"
                 "  rf [--name ID=NAME] [--enable ID] [--disable ID] [--delete ID] [--clear]\n"
                 "                                 print (and edit) the RF sensor list\n"
                 "  sd-list --date YYYYMMDD [--from HHMMSS --to HHMMSS]\n"
                 "  sd-get --file NAME --out DIR   download one SD card recording\n"
                 "  plan [--json]                  print the eight record plans\n"
                 "  set-plan [--json] PLAN=MODE[,DAY,START,END]...\n"
                 "                                 change record plans (PLAN 1..8, MODE off,\n"
                 "                                 schedule or alarm, DAY monday..sunday,\n"
                 "                                 everyday or workday, times HH:MM:SS, the\n"
                 "                                 end inclusive)\n"
                 "  watch [--local] [--seconds N] [--sub-stream]\n"
                 "                                 watch the live stream headless\n"
                 "         [--listen]              and play its sound (ORBISIGHT_AUDIO)\n"
                 "         [--pane WxH | --no-pictures] [--name NAME]\n"
                 "         [--record DIR] [--snapshot FILE] [--rendezvous HOST[:PORT]]\n"
                 "  talk --wav FILE [--local]      send a 16-bit PCM WAV file as talk audio\n"
                 "\n"
                 "recordings:\n"
                 "  play FILE.264 [--speed N] [--seek P]\n"
                 "                                 play a recording headless, reporting progress\n"
                 "\n"
                 "account commands (--user U --password P [--data-dir DIR] [--timeout-ms MS]):\n"
                 "  account login|list|register|bind|unbind\n"
                 "                                 [--nickname N --email E] [--id ID]\n"
                 "                                 [--lan-seconds N]\n"
                 "\n"
                 "cameras on the local network ([--seconds N] [--data-dir DIR]):\n"
                 "  lan-search                     list the cameras that answer a search\n"
                 "  lan-set --id ID FIELD=VALUE... change a camera's parameters by broadcast\n"
                 "\n"
                 "local device list ([--data-dir DIR]):\n"
                 "  local list                     print the local cameras and groups\n"
                 "  local add --id ID [--host HOST[:PORT]] [--name NAME] [--password PW]\n"
                 "            [--parent N]         add a camera (to group N)\n"
                 "  local add --group NAME [--parent N]\n"
                 "                                 add a group\n"
                 "  local remove --id ID | --group N\n"
                 "                                 remove a camera or a group\n"
                 "\n"
                 "cloud storage (--id ID [--server HOST:PORT | --address LIST] [--timeout S]\n"
                 "               [--quiet]):\n"
                 "  cloud-list --date YYYYMMDD [--from HHMMSS --to HHMMSS]\n"
                 "                                 list a camera's cloud recordings\n"
                 "  cloud-get --name NAME --out DIR\n"
                 "                                 download one cloud recording\n"
                 "\n"
                 "  -h, --help                     this text (see also orbisight-cli(1))\n");
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2) {
        return Usage(stderr);
    }
    std::string command = argv[1];
    std::vector<std::string> words(argv + 2, argv + argc);
    if (command == "params" || command == "set-param" || command == "rf" || command == "sd-list" ||
        command == "sd-get" || command == "plan" || command == "set-plan") {
        return RunDeviceCommand(command, words);
    }
    if (command == "watch") {
        return RunWatch(words);
    }
    if (command == "play") {
        return RunPlay(words);
    }
    if (command == "talk") {
        return RunTalk(words);
    }
    if (command == "account") {
        return RunAccount(words);
    }
    if (command == "lan-search" || command == "lan-set") {
        return RunLan(command, words);
    }
    if (command == "cloud-list" || command == "cloud-get") {
        return RunCloud(command, words);
    }
    if (command == "local") {
        return RunLocal(words);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        Usage(stdout);
        return kExitOk;
    }
    std::fprintf(stderr, "orbisight-cli: unknown command \"%s\"\n", command.c_str());
    return Usage(stderr);
}
