package corvid.probe;

// Prints how deep main's thread can recurse before its stack overflows, a
// measure of the stack the launcher gave that thread.
public class StackDepth {
    private static int depth;

    private static void descend() {
        depth++;
        descend();
    }

    public static void main(String[] args) {
        try {
            descend();
        } catch (StackOverflowError e) {
            System.out.println("depth " + depth);
        }
    }
}
