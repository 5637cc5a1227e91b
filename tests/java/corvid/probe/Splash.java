package corvid.probe;

import java.awt.Dimension;
import java.awt.SplashScreen;
import java.nio.file.Files;
import java.nio.file.Path;

// Reports what java.awt.SplashScreen sees, closes it when the third argument
// is "close", writes the report to the file named by the first argument,
// then keeps main running for the milliseconds of the second.
public class Splash {
    public static void main(String[] args) throws Exception {
        SplashScreen splash = SplashScreen.getSplashScreen();
        String seen = "no splash";
        if (splash != null) {
            Dimension size = splash.getSize();
            seen = "splash " + size.width + "x" + size.height + (splash.isVisible() ? " visible" : " hidden");
            if (args.length > 2 && args[2].equals("close")) {
                splash.close();
                seen += ", closed";
            }
        }
        System.out.println(seen);
        Files.writeString(Path.of(args[0]), seen + "\n");
        Thread.sleep(Long.parseLong(args[1]));
    }
}
