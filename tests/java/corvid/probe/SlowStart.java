package corvid.probe;

import java.nio.file.Files;
import java.nio.file.Path;

// A Java agent whose premain runs inside JNI_CreateJavaVM: it writes the file
// "creating" into corvid.probe.dir and holds the JVM's creation for the
// number of milliseconds it is given.
public class SlowStart {
    public static void premain(String milliseconds) throws Exception {
        Files.writeString(Path.of(System.getProperty("corvid.probe.dir", ".")).resolve("creating"), "creating");
        Thread.sleep(Long.parseLong(milliseconds));
    }
}
