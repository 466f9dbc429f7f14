/* A library for the tests of external functions: reals in and out for 0 ... 8 arguments,
   strings in and out, and a string result that is a null pointer. Each digitsN returns its
   arguments as the decimal digits of one number, so a test sees their order. */
#include <ctype.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

static double digits(const double* a, int n) {
    double r = 0;
    for (int i = 0; i < n; ++i) r = r * 10 + a[i];
    return r;
}

double digits0(void) { return 42; }
double digits1(double a) { return a; }
double digits2(double a, double b) { double v[] = {a, b}; return digits(v, 2); }
double digits3(double a, double b, double c) { double v[] = {a, b, c}; return digits(v, 3); }
double digits4(double a, double b, double c, double d) {
    double v[] = {a, b, c, d};
    return digits(v, 4);
}
double digits5(double a, double b, double c, double d, double e) {
    double v[] = {a, b, c, d, e};
    return digits(v, 5);
}
double digits6(double a, double b, double c, double d, double e, double f) {
    double v[] = {a, b, c, d, e, f};
    return digits(v, 6);
}
double digits7(double a, double b, double c, double d, double e, double f, double g) {
    double v[] = {a, b, c, d, e, f, g};
    return digits(v, 7);
}
double digits8(double a, double b, double c, double d, double e, double f, double g,
               double h) {
    double v[] = {a, b, c, d, e, f, g, h};
    return digits(v, 8);
}

/* The number of bytes of a string. */
double text_length(const char* s) { return (double)strlen(s); }

/* A string, a real and a string joined by "|"; the real in %g. */
const char* join(const char* a, double b, const char* c) {
    static char out[256];
    snprintf(out, sizeof out, "%s|%g|%s", a, b, c);
    return out;
}

/* The string in capitals (ASCII letters only; other bytes unchanged). */
const char* upper(const char* s) {
    static char out[256];
    size_t i = 0;
    for (; s[i] && i + 1 < sizeof out; ++i) out[i] = (char)toupper((unsigned char)s[i]);
    out[i] = 0;
    return out;
}

/* Four strings in one, each followed by ";". */
const char* four(const char* a, const char* b, const char* c, const char* d) {
    static char out[256];
    snprintf(out, sizeof out, "%s;%s;%s;%s;", a, b, c, d);
    return out;
}

const char* nothing(void) { return NULL; }

/* A number where a game may wrongly expect text. */
long not_text(void) { return 24; }
