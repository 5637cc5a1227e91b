package corvid.probe;

import java.nio.file.Files;
import java.nio.file.Path;

// Returns from main while a non-daemon thread still works; that thread writes
// the file named by the first argument when it is done.
public class Lingering {
    public static void main(String[] args) {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(1500);
                Files.writeString(Path.of(args[0]), "worker done\n");
                System.out.println("worker done");
            } catch (Exception e) {
                e.printStackTrace();
            }
        });
        worker.start();
        System.out.println("main returned");
    }
}
