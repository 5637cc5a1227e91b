package corvid.probe;

import java.nio.file.Files;
import java.nio.file.Path;

// Asks for a collection (which -Xlog:gc:stdout reports), says so, then waits
// up to a minute for the file named by the first argument to exist.
public class GcThenWait {
    public static void main(String[] args) throws Exception {
        System.gc();
        System.out.println("collected");
        Path go = Path.of(args[0]);
        for (int i = 0; i < 600 && !Files.exists(go); ++i) Thread.sleep(100);
        System.out.println("done");
    }
}
