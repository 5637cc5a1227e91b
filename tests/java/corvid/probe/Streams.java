package corvid.probe;

// Writes one line to each standard stream.
public class Streams {
    public static void main(String[] args) {
        System.out.println("to out");
        System.err.println("to err");
    }
}
