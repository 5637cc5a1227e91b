package corvid.probe;

import java.io.IOException;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.ServerSocket;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

// A program that listens on a port and asks for a restart with exit code 9
// while it still holds the port; started again, it listens on the same port.
// Each start appends "listening PORT", "again PORT" or "refused PORT ERROR"
// to the file named by the first argument.
public class Listen {
    public static void main(String[] args) throws Exception {
        Path log = Path.of(args[0]);
        boolean again = Files.exists(log);
        int port = again ? Integer.parseInt(Files.readAllLines(log).get(0).split(" ")[1]) : 0;
        ServerSocket server = new ServerSocket();
        String line;
        try {
            server.bind(new InetSocketAddress(InetAddress.getLoopbackAddress(), port));
            line = (again ? "again " : "listening ") + server.getLocalPort();
        } catch (IOException e) {
            line = "refused " + port + " " + e;
        }
        Files.writeString(log, line + "\n", StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        // Open until the process ends, as a server's socket is.
        System.exit(again ? 0 : 9);
    }
}
