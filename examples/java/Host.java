// A Java host of the installed library: authenticates a card through the
// native methods, which the JVM finds without -Djava.library.path.
import vantor.mira.Zephyrcoilvault;

public class Host {
  public static void main(String[] args) {
    if (args.length != 2) {
      System.err.println("usage: java -cp /usr/share/java/zephyrcoilvault.jar:. Host CARD PASSWORD");
      System.exit(64);
    }
    StringBuffer expiry = new StringBuffer();
    int code =
        Zephyrcoilvault.TokenAuth2(Integer.parseInt(args[0]), Integer.parseInt(args[1]), expiry);
    if (code == Zephyrcoilvault.ACCEPTED) {
      System.out.println(code + " valid until " + expiry);
    } else {
      System.out.println(code + " refused");
      System.exit(1);
    }
  }
}
