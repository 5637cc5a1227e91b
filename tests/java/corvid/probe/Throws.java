package corvid.probe;

// Lets an exception escape main after printing a line.
public class Throws {
    public static void main(String[] args) {
        System.out.println("before the throw");
        fail();
    }

    static void fail() {
        throw new IllegalStateException("probe failure \u00e9");
    }
}
