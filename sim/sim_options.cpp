#include "sim_options.h"

#include <cerrno>
#include <cstdlib>

namespace zart::sim {

bool ParseInt(const std::string& text, long lo, long hi, long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || end == text.c_str() || *end != '\0' || v < lo || v > hi) return false;
  value = v;
  return true;
}

std::string UsageText() {
  return "Usage: zart-sim [options]\n"
         "Simulated ZART engine controller on a pseudo-terminal, or over TCP as\n"
         "behind an Ethernet gateway. The first line of standard output is the\n"
         "device path (with --tcp, the address to give the tool, such as\n"
         "rtuovertcp://127.0.0.1:5020); control lines are read from standard\n"
         "input (and the --control FIFO), each answered by one line starting\n"
         "with \"ok\" or \"error\".\n"
         "\n"
         "  --link PATH          symbolic link to the device (replaced if stale, removed on exit)\n"
         "  --tcp [HOST:]PORT    serve over TCP instead: RTU frames as through a transparent gateway;\n"
         "                       HOST is 127.0.0.1 unless given, PORT 0 takes a free one; one client\n"
         "                       at a time, a second is closed at once\n"
         "  --mbap               with --tcp: Modbus TCP, as through a converting gateway\n"
         "  --address N          slave address, 0..255 (default 7)\n"
         "  --type dgu|dra       object type (default dgu)\n"
         "  --eeprom FILE        4096-byte EEPROM image: loaded if present, saved on exit and on 'save'\n"
         "  --control PATH       also read control lines from a FIFO created at PATH\n"
         "  --speedup K          simulated time runs K times faster (default 1)\n"
         "  --wire-timing        delay each reply by the request's and reply's time on the wire\n"
         "  --parity N|E|O       parity for --wire-timing: N = 10 bits a character, else 11 (default E)\n"
         "  --turnaround MS      controller reaction time added by --wire-timing (default 2)\n"
         "  --seed N             seed of the battery noise and the garbage bytes (default 1)\n"
         "  --verbose            print each request and reply in hex on stderr\n"
         "  --help               this text\n"
         "\n"
         "Fault injection (each also switchable with 'fault ...' at run time):\n"
         "  --fault-silent       never answer\n"
         "  --fault-bad-crc      corrupt the CRC of every reply\n"
         "  --drop-every N       drop every N-th reply\n"
         "  --bad-crc-every N    corrupt the CRC of every N-th reply\n"
         "  --split-reply MS     write half of each reply, pause MS ms, then the rest\n"
         "  --garbage-before N   write N random bytes before each reply\n"
         "  --answer-as ADDR     put ADDR in byte 0 of replies (CRC recomputed, so valid)\n"
         "  --long-reply N       pad status replies to N bytes (CRC valid over the padded frame)\n"
         "  --corrupt-byte ADDR  writes store EEPROM byte ADDR with its lowest bit inverted\n"
         "  --refuse-eeprom CODE answer functions 100 and 101 with exception CODE\n"
         "  --mbap-fault KIND    with --mbap: spoil each reply's header: tid (another transaction\n"
         "                       id), protocol (protocol id 1) or length (65535 announced)\n"
         "\n"
         "Control commands:\n"
         "  block on|off                  Modbus control blocked flag\n"
         "  alarm | warning               trip an alarm (stops the engine) or a warning\n"
         "  fault silent on|off           fault bad-crc on|off\n"
         "  fault drop-every N            fault bad-crc-every N\n"
         "  fault split MS                fault garbage N\n"
         "  fault answer-as ADDR|off      fault long N|off\n"
         "  fault corrupt-byte ADDR|off   writes store byte ADDR wrong (echo stays right)\n"
         "  fault refuse-eeprom CODE|off  functions 100/101 answered with exception CODE\n"
         "  fault mbap tid|protocol|length|off   spoil Modbus TCP reply headers\n"
         "  fault none                    all faults off (0 also switches a counted fault off)\n"
         "  unplug | replug               remove the device / create a new one (--link follows);\n"
         "                                with --tcp: drop the client and stop listening / listen again\n"
         "  save                          write the EEPROM image to the --eeprom file\n"
         "  dump ADDR COUNT               EEPROM bytes in hex\n"
         "  state | stats                 engine state / request, reply and fault counts\n"
         "  quit\n";
}

bool ParseOptions(const std::vector<std::string>& args, SimOptions& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto number = [&](long lo, long hi, long& out) {
      std::string text;
      if (!value(text)) return false;
      if (!ParseInt(text, lo, hi, out)) {
        error = a + ": bad value '" + text + "' (" + std::to_string(lo) + ".." + std::to_string(hi) + ")";
        return false;
      }
      return true;
    };
    long n = 0;
    std::string text;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--link") {
      if (!value(o.linkPath)) return false;
    } else if (a == "--tcp") {
      if (!value(o.tcpAddress)) return false;
      o.tcp = true;
    } else if (a == "--mbap") {
      o.mbap = true;
    } else if (a == "--mbap-fault") {
      if (!value(text)) return false;
      const auto kind = ParseMbapFault(text);
      if (!kind || *kind == MbapFault::none) {
        error = "--mbap-fault: expected tid, protocol or length, got '" + text + "'";
        return false;
      }
      o.faults.mbap = *kind;
    } else if (a == "--control") {
      if (!value(o.controlPath)) return false;
    } else if (a == "--eeprom") {
      if (!value(o.eepromPath)) return false;
    } else if (a == "--address") {
      if (!number(0, 255, n)) return false;
      o.address = static_cast<int>(n);
      o.addressGiven = true;
    } else if (a == "--type") {
      if (!value(text)) return false;
      if (text == "dgu" || text == "0") {
        o.objectType = 0;
      } else if (text == "dra" || text == "1") {
        o.objectType = 1;
      } else {
        error = "--type: expected dgu or dra, got '" + text + "'";
        return false;
      }
      o.typeGiven = true;
    } else if (a == "--speedup") {
      if (!value(text)) return false;
      char* end = nullptr;
      const double k = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !(k > 0.0) || k > 100000.0) {
        error = "--speedup: bad value '" + text + "'";
        return false;
      }
      o.speedup = k;
    } else if (a == "--wire-timing") {
      o.wireTiming = true;
    } else if (a == "--parity") {
      if (!value(text)) return false;
      if (text != "N" && text != "E" && text != "O" && text != "n" && text != "e" && text != "o") {
        error = "--parity: expected N, E or O";
        return false;
      }
      o.parity = static_cast<char>(text[0] & ~0x20);
    } else if (a == "--turnaround") {
      if (!number(0, 10000, n)) return false;
      o.turnaroundMs = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!number(0, 0x7FFFFFFF, n)) return false;
      o.seed = static_cast<unsigned>(n);
    } else if (a == "--verbose" || a == "-v") {
      o.verbose = true;
    } else if (a == "--fault-silent") {
      o.faults.silent = true;
    } else if (a == "--fault-bad-crc") {
      o.faults.badCrc = true;
    } else if (a == "--drop-every") {
      if (!number(0, 1000000, n)) return false;
      o.faults.dropEvery = static_cast<int>(n);
    } else if (a == "--bad-crc-every") {
      if (!number(0, 1000000, n)) return false;
      o.faults.badCrcEvery = static_cast<int>(n);
    } else if (a == "--split-reply") {
      if (!number(0, 60000, n)) return false;
      o.faults.splitMs = static_cast<int>(n);
    } else if (a == "--garbage-before") {
      if (!number(0, 4096, n)) return false;
      o.faults.garbageBefore = static_cast<int>(n);
    } else if (a == "--answer-as") {
      if (!number(0, 255, n)) return false;
      o.faults.answerAs = static_cast<int>(n);
    } else if (a == "--refuse-eeprom") {
      if (!number(1, 255, n)) return false;
      o.faults.refuseEeprom = static_cast<int>(n);
    } else if (a == "--corrupt-byte") {
      if (!number(0, 4095, n)) return false;
      o.faults.corruptByte = static_cast<int>(n);
    } else if (a == "--long-reply") {
      if (!number(0, 4096, n)) return false;
      o.faults.longReply = static_cast<int>(n);
    } else {
      error = "unknown option '" + a + "' (see --help)";
      return false;
    }
  }
  if (o.tcp && !o.linkPath.empty()) {
    error = "--link names a pty device; with --tcp there is none";
    return false;
  }
  if (o.mbap && !o.tcp) {
    error = "--mbap needs --tcp";
    return false;
  }
  if (o.faults.mbap != MbapFault::none && !o.mbap) {
    error = "--mbap-fault needs --mbap";
    return false;
  }
  return true;
}

}  // namespace zart::sim
