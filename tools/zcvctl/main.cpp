// zcvctl: a command-line host of the library's C interface. One subcommand
// per operation, built from the operation table, run on a client opened on
// the configuration file (--config, else the installed one); prints the
// result code with its meaning and the outputs, as text or JSON.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <sstream>

#include "zcvctl/check.h"
#include "zcvctl/operations.h"
#include "zcvctl/repeat.h"
#include "zcvctl/report.h"
#include "zcvctl/utf8_text.h"

namespace {

using namespace zcv::ctl;

constexpr char kJsonHelp[] =
    "print the result as one JSON object in UTF-8; output bytes that are not UTF-8 "
    "appear as U+FFFD, one for each ill-formed sequence";

// What the command line collected for one subcommand.
struct Invocation {
  const Operation* op = nullptr;
  CLI::App* app = nullptr;
  Call call;
  std::map<std::string, std::string> int_values;
  std::map<std::string, std::string> text_values;
  std::map<std::string, CLI::Option*> text_options;
};

std::string Description(const Operation& op) {
  return std::string(op.summary) + "\ncalls " + op.function + ", which sends GET /" + op.request +
         "\n(%d: a number, %s: a text; a text left out is sent as (null))";
}

void AddOptions(Invocation& inv) {
  for (const Param& p : inv.op->params) {
    std::string flag = "--" + p.option;
    std::string help = OptionHelp(p.option);
    switch (p.kind) {
      case ParamKind::kInt:
        inv.app->add_option(flag, inv.int_values[p.option], help)
            ->required()
            ->type_name("INT")
            ->check(
                [](const std::string& text) {
                  return ParseDecimalInt(text) ? std::string() : "not a decimal int: " + text;
                },
                "decimal");
        break;
      case ParamKind::kText:
      case ParamKind::kOptText: {
        CLI::Option* o = inv.app->add_option(flag, inv.text_values[p.option], help);
        if (p.kind == ParamKind::kText) o->required();
        inv.text_options[p.option] = o;
        break;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "zcvctl: calls the token service through the zephyrcoilvault library.\n"
      "Exit status: 0 accepted (9999), 1 a verdict of the service, 2 argument refused (1011)\n"
      "or no usable answer (1012), 64 a wrong command line."};
  app.require_subcommand(1);
  bool json = false;
  app.add_flag("--json", json, kJsonHelp);
  std::string config = ZCV_CONFIG_FILE;
  std::string log = ZCV_LOG_FILE;
  app.add_option("--config", config, "the configuration file to use (default " ZCV_CONFIG_FILE ")")
      ->type_name("FILE");
  app.add_option("--log", log, "the log file to append failures to (default " ZCV_LOG_FILE ")")
      ->type_name("FILE");
  long repeat = 1;
  app.add_option("--repeat", repeat,
                 "make the call N times on one client and print the results counted, the TCP\n"
                 "connections kept open between calls and the CPU and wall time per call")
      ->type_name("N")
      ->check(CLI::Range(1L, kMaxRepeat));
  // Options of the whole program may also follow the subcommand.
  app.fallthrough();

  CLI::App* check = app.add_subcommand(
      "check",
      "report every problem of the configuration file, then for each server the name lookup,\n"
      "the TCP connect and (with TLS) the handshake, each timed; sends no request.\n"
      "Exit status: 0 every server reached, 1 some not, 2 the file was refused");
  check->add_flag("--json", json, kJsonHelp);

  std::vector<std::unique_ptr<Invocation>> invocations;
  for (const Operation& op : Operations()) {
    auto inv = std::make_unique<Invocation>();
    inv->op = &op;
    inv->app = app.add_subcommand(op.command, Description(op));
    inv->app->add_flag("--json", json, kJsonHelp);
    AddOptions(*inv);
    invocations.push_back(std::move(inv));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // The messages may quote the command line's bytes.
    std::ostringstream out, err;
    int status = app.exit(e, out, err);
    std::cout << ValidUtf8(out.str());
    std::cerr << ValidUtf8(err.str());
    return status == 0 ? 0 : kExitUsage;
  }

  if (check->parsed()) return RunCheck(config, json, std::cout);
  for (auto& inv : invocations) {
    if (!inv->app->parsed()) continue;
    // The order of a list that failed over is written back, as the
    // library's default client does.
    char error[ZCV_ERROR_BYTES];
    std::unique_ptr<zcv_client, void (*)(zcv_client*)> client(
        zcv_client_open(config.c_str(), log.c_str(), ZCV_WRITE_BACK, error, sizeof error),
        zcv_client_close);
    if (!client) {
      // The reason is a configuration message: GBK, as the log keeps it.
      std::cerr << ValidUtf8("zcvctl: " + config + ": ") << MessageText(error) << "\n";
      return ExitStatus(ZCV_NO_ANSWER);
    }
    inv->call.client = client.get();
    for (auto& [name, text] : inv->int_values) inv->call.ints[name] = *ParseDecimalInt(text);
    for (auto& [name, option] : inv->text_options) {
      if (option->count() > 0) {
        inv->call.texts[name] = inv->text_values[name];
      } else {
        inv->call.texts[name] = std::nullopt;
      }
    }
    if (repeat > 1) {
      RepeatSummary summary = Repeat(*inv->op, inv->call, repeat);
      if (json) {
        PrintRepeatJson(std::cout, *inv->op, summary);
      } else {
        PrintRepeatText(std::cout, *inv->op, summary);
      }
      return RepeatExitStatus(summary);
    }
    ResultCode code = inv->op->invoke(inv->call);
    if (json) {
      PrintJson(std::cout, *inv->op, code, inv->call.out);
    } else {
      PrintText(std::cout, *inv->op, code, inv->call.out);
    }
    return ExitStatus(code);
  }
  return kExitUsage;
}
