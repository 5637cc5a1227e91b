package corvid.probe;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

// The shared part of the single-instance probes. Their folder is the system
// property corvid.probe.dir: main writes "ready" there and then waits for a
// file "stop", whose text is the exit code for System.exit ("return" makes
// the waiting end without it). Every call is recorded as a line of the file "record".
final class InstanceProbe {
    private static final Path DIR = Path.of(System.getProperty("corvid.probe.dir", "."));

    private InstanceProbe() {}

    static synchronized void record(String kind, String[] args) {
        StringBuilder line = new StringBuilder(kind).append(' ').append(args.length);
        for (String arg : args) line.append(" [").append(arg).append(']');
        line.append('\n');
        try {
            Files.writeString(DIR.resolve("record"), line, StandardCharsets.UTF_8, StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND);
        } catch (Exception e) {
            throw new IllegalStateException(e);
        }
    }

    // With the system property corvid.probe.background set, the waiting is
    // done by a non-daemon thread and main returns at once, as the main of a
    // program with windows does: the launcher then waits in DestroyJavaVM.
    static void runMain(String[] args) throws Exception {
        record("main", args);
        if (Boolean.getBoolean("corvid.probe.background")) {
            new Thread(() -> {
                try {
                    waitForStop();
                } catch (Exception e) {
                    throw new IllegalStateException(e);
                }
            }).start();
            record("main returned", new String[0]);
            return;
        }
        waitForStop();
    }

    private static void waitForStop() throws Exception {
        Files.writeString(DIR.resolve("ready"), "ready");
        Path stop = DIR.resolve("stop");
        while (!Files.exists(stop)) Thread.sleep(10);
        Thread.sleep(20);
        String code = Files.readString(stop).trim();
        if (code.equals("return")) return;
        System.exit(Integer.parseInt(code));
    }
}
