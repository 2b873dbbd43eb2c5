// dorVek-config: writes, shows and checks the configuration file of dorVek,
// and enciphers or deciphers single values.
#include <fcntl.h>
#include <string.h>  // explicit_bzero
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/value_cipher.h"
#include "platform/text_input.h"

namespace {

using dorvek::kConfigKey;

constexpr int kStatusOk = 0;
constexpr int kStatusFailed = 1;
constexpr int kStatusUsage = 2;

// The run drops the last character of the SCHEMA value; write appends this.
constexpr char kSchemaEnd = ';';
// The header line of every pair: a section that no lookup of the run asks for.
constexpr char kHeaderLine[] = ";DB;\n";
// An entry line holds at most this many characters before its LF.
constexpr size_t kEntryLineMax = 398;

const char kHelp[] =
    "dorVek-config – schreibt und prüft die Konfigurationsdatei von dorVek\n"
    "\n"
    "Aufruf:\n"
    "  dorVek-config write DATEI --host HOST --database DATENBANK --user BENUTZER [--force]\n"
    "      Legt DATEI mit den vier Verbindungseinstellungen an, lesbar nur für\n"
    "      ihren Besitzer (Rechte 0600). Das Passwort kommt als eine Zeile von der\n"
    "      Standardeingabe, nie von der Befehlszeile; am Terminal wird danach\n"
    "      gefragt. Eine vorhandene DATEI wird nur mit --force ersetzt.\n"
    "  dorVek-config show DATEI [--show-password]\n"
    "      Zeigt die vier Einstellungen so, wie dorVek sie liest. Das Passwort\n"
    "      bleibt verdeckt, außer mit --show-password.\n"
    "  dorVek-config encrypt\n"
    "      Liest einen Wert (eine Zeile) von der Standardeingabe und gibt ihn\n"
    "      verschlüsselt aus, so wie er in der Datei steht.\n"
    "  dorVek-config decrypt TEXT\n"
    "      Gibt den Klartext eines verschlüsselten Werts aus.\n"
    "  dorVek-config --help\n"
    "      Diese Hilfe.\n"
    "  Optionen gehen auch in der Form --host=HOST.\n"
    "\n"
    "Die Datei:\n"
    "  Sie besteht aus Zeilenpaaren, je einer Kopfzeile \";DB;\" und einer\n"
    "  Eintragszeile \"NUMMER;SCHLÜSSEL;WERT\". dorVek liest die Schlüssel NET8\n"
    "  (Host), SCHEMA (Datenbank), LOGIN (Benutzer) und PASS (Passwort). Jeder\n"
    "  Wert ist mit Blowfish unter einem festen Schlüssel verschlüsselt und als\n"
    "  Hexadezimaltext gespeichert (0-9, A-F; 16 Zeichen je 8 Byte). Der Wert von\n"
    "  SCHEMA trägt hinter dem Datenbanknamen ein Zeichen ';', das dorVek beim\n"
    "  Lesen entfernt: write hängt es an, show zeigt den Namen ohne es.\n"
    "  Ein Wert darf kein Nullbyte und kein Zeilenende enthalten und höchstens\n"
    "  192 Zeichen lang sein (der Datenbankname 191).\n"
    "  Der feste Schlüssel verschleiert nur: Wer die Datei lesen kann, kann das\n"
    "  Passwort lesen. Darum die Rechte 0600.\n"
    "\n"
    "Beispiel:\n"
    "  printf '%s\\n' \"$PASSWORT\" | dorVek-config write /etc/dorvek/dorvek.ini \\\n"
    "      --host db.intern --database zeit --user dorvek\n"
    "  dorVek-config show /etc/dorvek/dorvek.ini\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler, 2 bei falschem Aufruf.\n"
    "Fehler stehen als eine Zeile auf der Standardfehlerausgabe.\n";

void complain(const std::string& message) {
  std::fprintf(stderr, "dorVek-config: %s\n", message.c_str());
}

int usageError(const std::string& message) {
  complain(message + " (Hilfe: dorVek-config --help)");
  return kStatusUsage;
}

// A command line after the command word: positional arguments and options.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // name with "--" -> value
};

// Splits args by the options the command knows: those in withValue take a
// value ("--name VALUE" or "--name=VALUE"), the flags take none. An error
// text when an option is unknown, repeated or lacks its value.
std::optional<std::string> parseArguments(int argc, char** argv,
                                          const std::vector<std::string>& withValue,
                                          const std::vector<std::string>& flags,
                                          Arguments& parsed) {
  auto known = [](const std::vector<std::string>& list, const std::string& name) {
    for (const auto& n : list) {
      if (n == name) return true;
    }
    return false;
  };
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (parsed.options.count(name) != 0) return "Option " + name + " doppelt angegeben";
    if (known(withValue, name)) {
      if (!value) {
        if (i + 1 >= argc) return "Option " + name + " ohne Wert";
        value = argv[++i];
      }
    } else if (known(flags, name)) {
      if (value) return "Option " + name + " nimmt keinen Wert";
      value = "";
    } else {
      return "unbekannte Option " + name;
    }
    parsed.options[name] = *value;
  }
  return std::nullopt;
}

// Why a value cannot be stored, or nothing when it can.
std::optional<std::string> valueFault(std::string_view value) {
  if (value.find('\0') != std::string_view::npos) return "enthält ein Nullbyte";
  if (value.find_first_of("\r\n") != std::string_view::npos) return "enthält ein Zeilenende";
  return std::nullopt;
}

// Reads a single line from a terminal, without echo.
std::string readFromTerminal(const char* prompt) {
  std::fputs(prompt, stderr);
  termios saved{};
  const bool restore = tcgetattr(0, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(0, TCSAFLUSH, &quiet);
  }
  std::string line;
  char c;
  while (read(0, &c, 1) == 1 && c != '\n') line += c;
  if (restore) tcsetattr(0, TCSAFLUSH, &saved);
  std::fputs("\n", stderr);
  return line;
}

// One value from standard input: one line; one trailing LF or CR LF is not
// part of it. False (after complaining) when it cannot be read or stored.
bool readValueFromStdin(const char* prompt, const char* what, std::string& value) {
  if (isatty(0)) {
    value = readFromTerminal(prompt);
  } else {
    value.clear();
    char buf[4096];
    for (;;) {
      const ssize_t n = read(0, buf, sizeof buf);
      if (n > 0) {
        value.append(buf, static_cast<size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        complain(std::string("Standardeingabe nicht lesbar: ") + std::strerror(errno));
        return false;
      }
    }
    explicit_bzero(buf, sizeof buf);
    if (!value.empty() && value.back() == '\n') value.pop_back();
    if (!value.empty() && value.back() == '\r') value.pop_back();
  }
  if (auto fault = valueFault(value)) {
    complain(std::string(what) + " " + *fault);
    return false;
  }
  return true;
}

// Wipes a secret when it goes.
struct Secret {
  std::string text;
  ~Secret() { explicit_bzero(text.data(), text.size()); }
};

int commandEncrypt(int argc, char** argv) {
  Arguments args;
  if (auto error = parseArguments(argc, argv, {}, {}, args)) return usageError(*error);
  if (!args.positional.empty()) {
    return usageError("encrypt nimmt kein Argument, der Wert kommt von der Standardeingabe");
  }
  Secret plain;
  if (!readValueFromStdin("Wert: ", "Der Wert", plain.text)) return kStatusFailed;
  std::string text;
  dorvek::encryptValue(plain.text, kConfigKey, text);
  std::printf("%s\n", text.c_str());
  return kStatusOk;
}

int commandDecrypt(int argc, char** argv) {
  Arguments args;
  if (auto error = parseArguments(argc, argv, {}, {}, args)) return usageError(*error);
  if (args.positional.size() != 1) return usageError("decrypt braucht genau einen TEXT");
  const std::string& text = args.positional[0];
  if (text.size() % 16 != 0 || text.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    complain("kein verschlüsselter Wert: erlaubt sind 0-9 und A-F, 16 Zeichen je Block");
    return kStatusFailed;
  }
  Secret plain;
  plain.text.assign(text.size() + 1, '\0');
  dorvek::decryptValue(text.c_str(), plain.text.data(), kConfigKey);
  std::printf("%s\n", plain.text.c_str());
  return kStatusOk;
}

// The entry line of one setting, or an error text when the value does not fit.
std::optional<std::string> entryLine(const char* prefix, const std::string& plain, const char* what,
                                     size_t plainReserve, std::string& line) {
  if (auto fault = valueFault(plain)) return std::string(what) + " " + *fault;
  std::string text;
  dorvek::encryptValue(plain, kConfigKey, text);
  line = std::string(prefix) + text;
  if (line.size() > kEntryLineMax) {
    const size_t maxPlain = (kEntryLineMax - std::strlen(prefix)) / 16 * 8 - plainReserve;
    return std::string(what) + " ist zu lang (höchstens " + std::to_string(maxPlain) + " Zeichen)";
  }
  line += '\n';
  return std::nullopt;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int commandWrite(int argc, char** argv) {
  Arguments args;
  if (auto error =
          parseArguments(argc, argv, {"--host", "--database", "--user"}, {"--force"}, args)) {
    return usageError(*error);
  }
  if (args.positional.size() != 1) return usageError("write braucht genau eine DATEI");
  for (const char* required : {"--host", "--database", "--user"}) {
    if (args.options.count(required) == 0) return usageError(std::string(required) + " fehlt");
  }
  const std::string& path = args.positional[0];
  const std::string& database = args.options["--database"];
  if (database.empty()) return usageError("--database ist leer");

  Secret password;
  if (!readValueFromStdin("Passwort: ", "Das Passwort", password.text)) return kStatusFailed;

  struct Setting {
    const char* prefix;
    const std::string& plain;
    const char* what;
    size_t reserve;
  };
  const std::string schema = database + kSchemaEnd;
  const Setting settings[] = {
      {"1;NET8;", args.options["--host"], "--host", 0},
      {"2;SCHEMA;", schema, "--database", 1},
      {"3;LOGIN;", args.options["--user"], "--user", 0},
      {"4;PASS;", password.text, "Das Passwort", 0},
  };
  std::string content;
  for (const Setting& s : settings) {
    std::string line;
    if (auto error = entryLine(s.prefix, s.plain, s.what, s.reserve, line)) {
      complain(*error);
      return kStatusFailed;
    }
    content += kHeaderLine + line;
  }

  const bool force = args.options.count("--force") != 0;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (force ? O_TRUNC : O_EXCL);
  const int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) {
    if (errno == EEXIST) {
      complain(path + ": Datei existiert schon (ersetzen mit --force)");
    } else {
      complain(path + ": nicht anzulegen: " + std::strerror(errno));
    }
    return kStatusFailed;
  }
  // A replaced file keeps its mode unless told otherwise.
  bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, content);
  const int writeErrno = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    complain(path + ": Schreiben fehlgeschlagen: " + std::strerror(writeErrno));
    unlink(path.c_str());
    return kStatusFailed;
  }
  return kStatusOk;
}

void printSetting(const char* label, const std::string& value) {
  std::printf("%-20s\"%s\"\n", label, value.c_str());
}

int commandShow(int argc, char** argv) {
  Arguments args;
  if (auto error = parseArguments(argc, argv, {}, {"--show-password"}, args)) {
    return usageError(*error);
  }
  if (args.positional.size() != 1) return usageError("show braucht genau eine DATEI");
  const char* path = args.positional[0].c_str();
  {
    dorvek::TextInput probe;
    errno = 0;  // a directory fails without an errno
    if (!probe.open(path)) {
      complain(std::string(path) + ": nicht lesbar" +
               (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
      return kStatusFailed;
    }
  }
  auto lookup = [path](const char* key) {
    return dorvek::lookupConfigValue("", key, 0, path).value;
  };
  const std::string host = lookup("NET8");
  const std::string schema = lookup("SCHEMA");
  const std::string database = schema.empty() ? "" : schema.substr(0, schema.size() - 1);
  const std::string user = lookup("LOGIN");
  Secret password;
  password.text = lookup("PASS");

  printSetting("Host (NET8):", host);
  printSetting("Datenbank (SCHEMA):", database);
  printSetting("Benutzer (LOGIN):", user);
  if (args.options.count("--show-password") != 0) {
    printSetting("Passwort (PASS):", password.text);
  } else {
    std::printf("%-20s%s\n", "Passwort (PASS):", password.text.empty() ? "(leer)" : "********");
  }
  std::fflush(stdout);
  if (database.empty()) {
    complain(std::string(path) + ": kein Datenbankname (SCHEMA), so bricht dorVek ab");
    return kStatusFailed;
  }
  return kStatusOk;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return kStatusOk;
    }
  }
  if (argc < 2) return usageError("Befehl fehlt: write, show, encrypt oder decrypt");
  const std::string_view command = argv[1];
  if (command == "encrypt") return commandEncrypt(argc - 2, argv + 2);
  if (command == "decrypt") return commandDecrypt(argc - 2, argv + 2);
  if (command == "write") return commandWrite(argc - 2, argv + 2);
  if (command == "show") return commandShow(argc - 2, argv + 2);
  return usageError("unbekannter Befehl " + std::string(command));
}
