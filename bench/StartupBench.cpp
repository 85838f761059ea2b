// How long a program takes from its process start until its first window is painted on an X
// display, seen from outside the program: the X server's own reports (a map of a top-level window,
// then the first drawing inside it, through the Damage extension), so the program measured carries
// no probe of ours. Programs are started in turns, RUNS times each after one unmeasured start, and
// ended with SIGKILL as soon as their window was drawn.
//
//   startup_bench [--runs N] [--verbose] TITLE PROGRAM [TITLE PROGRAM ...]
// Beside the wall time, the processor time the program used until then (all its threads), which
// a busy machine disturbs less.
//
// TITLE is the caption (_NET_WM_NAME) of the window waited for; the program's other windows are
// ignored. The first program is the yardstick: every other one is also given as a ratio of medians.
// Needs DISPLAY, a display without a window manager (Xvfb), where the programs' windows are the
// direct children of the root window.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Program {
    std::string title;
    std::string path;
    std::vector<double> mapped; // ms from the start to the map of the window
    std::vector<double> drawn;  // ms from the start to the first drawing inside it
    std::vector<double> cpu;    // ms of processor time the program used until then
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool intersects(const xcb_rectangle_t& r) const
    {
        return r.x < x + w && x < r.x + r.width && r.y < y + h && y < r.y + r.height;
    }
};

// The processor time of every thread of a process so far, in ms; -1 when it cannot be read.
double cpuMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return -1.0;
    double total = 0.0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        // The first field of schedstat: nanoseconds spent on a processor.
        if (FILE* f = std::fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r")) {
            unsigned long long ns = 0;
            if (std::fscanf(f, "%llu", &ns) == 1)
                total += static_cast<double>(ns) / 1e6;
            std::fclose(f);
        }
    }
    closedir(dir);
    return total;
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(pos);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}

class Display {
public:
    Display()
    {
        int screenNumber = 0;
        m_conn = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_conn))
            fail("cannot connect to the display named by DISPLAY");
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&it);
        m_root = it.data->root;

        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_conn, &xcb_damage_id);
        if (!damage || !damage->present)
            fail("the display has no Damage extension");
        m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_conn, xcb_damage_query_version(m_conn, 1, 1), nullptr));

        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        // Every drawing on the screen, in root coordinates, one event per rectangle.
        xcb_damage_create(m_conn, xcb_generate_id(m_conn), m_root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        m_netWmName = atom("_NET_WM_NAME");
        m_netWmPid = atom("_NET_WM_PID");
        m_utf8 = atom("UTF8_STRING");
        xcb_flush(m_conn);
    }
    ~Display() { xcb_disconnect(m_conn); }

    // Drops what the display reported so far (the last program's windows going away).
    void drain()
    {
        xcb_flush(m_conn);
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn))
            free(e);
    }

    // Starts the program and waits for its window; false after 30 s without one.
    bool measure(Program& p, bool verbose, bool record)
    {
        const Clock::time_point start = Clock::now();
        const pid_t pid = fork();
        if (pid < 0)
            fail("fork failed");
        if (pid == 0) {
            execl(p.path.c_str(), p.path.c_str(), static_cast<char*>(nullptr));
            std::perror(p.path.c_str());
            _exit(127);
        }
        xcb_window_t window = 0;
        Rect area;
        double mapped = 0.0;
        double drawn = 0.0;
        double cpu = -1.0;
        const Clock::time_point deadline = start + std::chrono::seconds(30);
        while (drawn == 0.0 && Clock::now() < deadline) {
            xcb_generic_event_t* e = xcb_poll_for_event(m_conn);
            if (!e) {
                if (xcb_connection_has_error(m_conn))
                    fail("the connection to the display broke");
                pollfd fd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
                poll(&fd, 1, 100);
                continue;
            }
            const double now = ms(Clock::now() - start);
            const int type = e->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY && !window) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                const std::string title = text(map->window, m_netWmName, m_utf8);
                const bool ours = cardinal(map->window, m_netWmPid) == static_cast<uint32_t>(pid);
                if (verbose)
                    std::printf("  %8.1f ms map of 0x%x \"%s\"%s\n", now, map->window, title.c_str(),
                        ours ? "" : " (another process)");
                if (ours && title == p.title) {
                    window = map->window;
                    area = geometry(window);
                    mapped = now;
                }
            } else if (type == m_damageEvent) {
                const auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(e);
                if (verbose)
                    std::printf("  %8.1f ms drawing %dx%d+%d+%d\n", now, damage->area.width, damage->area.height,
                        damage->area.x, damage->area.y);
                if (window && area.intersects(damage->area)) {
                    drawn = now;
                    cpu = cpuMs(pid);
                }
            }
            free(e);
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        if (drawn == 0.0) {
            std::fprintf(stderr, "%s: no drawing in a window \"%s\" within 30 s\n", p.path.c_str(), p.title.c_str());
            return false;
        }
        if (verbose)
            std::printf("%s: mapped %.1f ms, drawn %.1f ms, %.1f ms of processor time\n", p.path.c_str(), mapped,
                drawn, cpu);
        if (record) {
            p.mapped.push_back(mapped);
            p.drawn.push_back(drawn);
            p.cpu.push_back(cpu);
        }
        return true;
    }

private:
    [[noreturn]] static void fail(const char* why)
    {
        std::fprintf(stderr, "startup_bench: %s\n", why);
        std::exit(2);
    }

    xcb_atom_t atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> r(
            xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 0, std::strlen(name), name), nullptr), &free);
        return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    std::string text(xcb_window_t w, xcb_atom_t property, xcb_atom_t type)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> r(
            xcb_get_property_reply(m_conn, xcb_get_property(m_conn, 0, w, property, type, 0, 1024), nullptr), &free);
        if (!r)
            return {};
        return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(r.get())));
    }

    uint32_t cardinal(xcb_window_t w, xcb_atom_t property)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> r(
            xcb_get_property_reply(m_conn, xcb_get_property(m_conn, 0, w, property, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            &free);
        if (!r || xcb_get_property_value_length(r.get()) != 4)
            return 0;
        return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    }

    Rect geometry(xcb_window_t w)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> r(
            xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, w), nullptr), &free);
        if (!r)
            return {};
        return {r->x, r->y, r->width, r->height};
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    int m_damageEvent = 0;
    xcb_atom_t m_netWmName = 0;
    xcb_atom_t m_netWmPid = 0;
    xcb_atom_t m_utf8 = 0;
};

void report(const char* what, const std::vector<double>& v)
{
    std::printf("  %-6s median %7.1f ms  quartiles %7.1f .. %7.1f  range %7.1f .. %7.1f\n", what, quantile(v, 0.5),
        quantile(v, 0.25), quantile(v, 0.75), quantile(v, 0.0), quantile(v, 1.0));
}

} // namespace

int main(int argc, char* argv[])
{
    int runs = 30;
    bool verbose = false;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--verbose")
            verbose = true;
        else if (i + 1 < argc)
            programs.push_back({a, argv[++i], {}, {}, {}});
        else {
            std::fprintf(stderr, "usage: startup_bench [--runs N] [--verbose] TITLE PROGRAM [TITLE PROGRAM ...]\n");
            return 2;
        }
    }
    if (programs.empty()) {
        std::fprintf(stderr, "usage: startup_bench [--runs N] [--verbose] TITLE PROGRAM [TITLE PROGRAM ...]\n");
        return 2;
    }

    Display display;
    // One start each to fill the file caches, then the programs in turns, so that a change in the
    // machine's load falls on all of them alike.
    for (int round = -1; round < runs; ++round) {
        for (Program& p : programs) {
            display.drain();
            if (!display.measure(p, verbose, round >= 0))
                return 1;
            // The X server removes the killed program's windows meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
    }

    const double yardstick = quantile(programs.front().drawn, 0.5);
    const double cpuYardstick = quantile(programs.front().cpu, 0.5);
    for (const Program& p : programs) {
        std::printf("%s (\"%s\"), %d runs, from the process start:\n", p.path.c_str(), p.title.c_str(), runs);
        report("mapped", p.mapped);
        report("drawn", p.drawn);
        report("cpu", p.cpu);
        if (&p != &programs.front()) {
            std::printf("  drawn, median against the first program: %.2f x (processor time %.2f x)\n",
                quantile(p.drawn, 0.5) / yardstick, quantile(p.cpu, 0.5) / cpuYardstick);
        }
    }
    return 0;
}
