#pragma once

// The command line's help and the choice of its language, without Qt: the front prints the help
// itself, before it loads anything, and the commands' module prints the same text.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tarv {

// True when the locale the environment chooses for messages (LC_ALL, else LC_MESSAGES, else
// LANG: the first one set, in the order POSIX gives them precedence) is a Greek one.
inline bool greekMessagesOfEnvironment() {
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value && *value) return std::strncmp(value, "el", 2) == 0;
    }
    return false;
}

struct HelpLine {
    const char *names, *english, *greek;
};

inline constexpr HelpLine kHelpLines[] = {
    {"-h, --help", "Shows this help and ends.", "Δείχνει αυτή τη βοήθεια και τελειώνει."},
    {"-v, --version", "Shows the program's version and ends.", "Δείχνει την έκδοση του προγράμματος και τελειώνει."},
    {"--report",
     "Prints figures from the ledger: the monthly totals of a year unless --month or --from/--to says otherwise.",
     "Τυπώνει στοιχεία από το αρχείο χρεώσεων: τα σύνολα των μηνών ενός έτους, εκτός αν το --month ή τα "
     "--from/--to ζητούν άλλα."},
    {"--calls", "With --report: lists the connections of calls.csv instead.",
     "Με το --report: παραθέτει αντί γι' αυτά τις συνδέσεις του calls.csv."},
    {"--status", "Prints the running program's live state in one line.",
     "Τυπώνει την τρέχουσα κατάσταση του προγράμματος που εκτελείται σε μία γραμμή."},
    {"--watch",
     "With --status: a line now and one at every change (every second while on line), until the output closes.",
     "Με το --status: μία γραμμή τώρα και μία σε κάθε αλλαγή (κάθε δευτερόλεπτο σε σύνδεση), ώσπου να κλείσει η "
     "έξοδος."},
    {"--check",
     "Prints the billing cycle's spend against the limits in tarv.ini; exit status 4 forecast past the limit, "
     "5 a warning level passed, 6 the limit passed.",
     "Τυπώνει τη δαπάνη του κύκλου χρέωσης απέναντι στα όρια του tarv.ini· κατάσταση εξόδου 4 η πρόβλεψη "
     "ξεπερνά το όριο, 5 ξεπεράστηκε ένα επίπεδο προειδοποίησης, 6 ξεπεράστηκε το όριο."},
    {"--year <YYYY>", "The year of the monthly totals (default: this year).",
     "Το έτος των μηνιαίων συνόλων (προεπιλογή: το τρέχον)."},
    {"--month <YYYY-MM>", "Prints the days of one month instead.", "Τυπώνει αντί γι' αυτά τις ημέρες ενός μήνα."},
    {"--from <YYYY-MM-DD>", "First day of a range total (with --to).",
     "Πρώτη ημέρα ενός συνόλου διαστήματος (με το --to)."},
    {"--to <YYYY-MM-DD>", "Last day of a range total (with --from).",
     "Τελευταία ημέρα ενός συνόλου διαστήματος (με το --from)."},
    {"--format <format>", "text (default), csv or json; --status takes text or json.",
     "text (προεπιλογή), csv ή json· το --status δέχεται text ή json."},
};

// The help text, UTF-8, in English or Greek.
inline std::string helpText(bool greek) {
    std::string text = greek ? "Χρήση: tarv [επιλογές]\n"
                               "Μετρά το κόστος των τηλεφωνικών συνδέσεων. Χωρίς επιλογές ξεκινά στην περιοχή "
                               "ειδοποιήσεων.\n\nΕπιλογές:\n"
                             : "Usage: tarv [options]\n"
                               "Meters the cost of dial-up connections. Without options it starts in the tray.\n\n"
                               "Options:\n";
    for (const HelpLine &line : kHelpLines) {
        std::string names = line.names;
        names.resize(std::max<size_t>(names.size(), 21), ' ');
        text += "  " + names + "  " + (greek ? line.greek : line.english) + "\n";
    }
    text += greek ? "\nΚατάσταση εξόδου: 0 έγινε, 1 το αρχείο χρεώσεων δεν διαβάζεται, 2 λάθος ορίσματα, 3 (--status) "
                    "το πρόγραμμα δεν εκτελείται, 4-6 (--check) δείτε το --check.\n"
                  : "\nExit status: 0 done, 1 the ledger cannot be read, 2 bad arguments, 3 (--status) the program "
                    "is not running, 4-6 (--check) see --check.\n";
    return text;
}

} // namespace tarv
