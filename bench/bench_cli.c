/* Times commands side by side: every round runs each command once, in turn, with its output
 * thrown away, and takes its processor time (user and system, from wait4) and its wall time.
 * Prints each command's medians and their ratios to the first command's. Usage:
 *
 *     bench_cli ROUNDS LABEL 'COMMAND ARGS...' [LABEL 'COMMAND ARGS...' ...]
 *
 * A command is split on spaces; no shell runs between the benchmark and the command. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kMaxCommands = 8, kMaxRounds = 1000, kMaxArgs = 16 };

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int compare(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

static double median(double *values, int n) {
    qsort(values, (size_t)n, sizeof *values, compare);
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

/* Runs argv once; its processor and wall times in milliseconds. Non-zero when it failed. */
static int run(char **argv, double *cpu, double *wall) {
    const double start = now_ms();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return -1;
    *wall = now_ms() - start;
    *cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 127;
}

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : 0;
    const int commands = (argc - 2) / 2;
    if (rounds < 1 || rounds > kMaxRounds || commands < 1 || commands > kMaxCommands || (argc - 2) % 2) {
        fprintf(stderr, "usage: %s ROUNDS LABEL 'COMMAND ARGS...' [LABEL 'COMMAND ARGS...' ...]\n", argv[0]);
        return 2;
    }
    static char *args[kMaxCommands][kMaxArgs + 1];
    static double cpu[kMaxCommands][kMaxRounds], wall[kMaxCommands][kMaxRounds];
    for (int c = 0; c < commands; ++c) {
        int n = 0;
        for (char *word = strtok(argv[3 + 2 * c], " "); word && n < kMaxArgs; word = strtok(NULL, " "))
            args[c][n++] = word;
    }
    for (int r = 0; r < rounds; ++r)
        for (int c = 0; c < commands; ++c)
            if (run(args[c], &cpu[c][r], &wall[c][r]) != 0) {
                fprintf(stderr, "%s: %s could not run\n", argv[0], args[c][0]);
                return 1;
            }
    printf("| Command (%d runs each, medians) | Processor time (user+sys) | Wall time | Ratio (processor / wall) |\n",
           rounds);
    printf("|---|---|---|---|\n");
    double cpu0 = 0, wall0 = 0;
    for (int c = 0; c < commands; ++c) {
        const double mc = median(cpu[c], rounds), mw = median(wall[c], rounds);
        if (c == 0) cpu0 = mc, wall0 = mw;
        printf("| %s | %.2f ms | %.2f ms | %.2fx / %.2fx |\n", argv[2 + 2 * c], mc, mw, cpu0 > 0 ? mc / cpu0 : 0,
               wall0 > 0 ? mw / wall0 : 0);
    }
    return 0;
}
