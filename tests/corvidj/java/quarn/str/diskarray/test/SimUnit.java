package quarn.str.diskarray.test;

import static org.junit.Assert.fail;

import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;
import quarn.str.diskarray.*;

// Simulated units for the Java suites, made and steered through kelp-arraysim.
public final class SimUnit {
  private SimUnit() {}

  static String run(boolean check, String... args) throws Exception {
    List<String> command = new ArrayList<>();
    command.add(System.getProperty("corvidj.arraysim"));
    command.addAll(Arrays.asList(args));
    Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    try (InputStream in = p.getInputStream()) {
      in.transferTo(out);
    }
    if (!p.waitFor(20, TimeUnit.SECONDS)) {
      p.destroyForcibly();
      fail("kelp-arraysim did not end");
    }
    if (check && p.exitValue() != 0) fail("kelp-arraysim " + command + ": " + out);
    return out.toString();
  }

  // A new four-board unit with an empty record store.
  public static String create(String name) throws Exception {
    run(false, "delete", name);
    run(true, "create", name, "--model", "ZQH", "--boards", "4");
    return name;
  }

  // The next `count` calls of ZQ_<op> on the unit return `code`.
  public static void fault(String unit, String op, int count, long code) throws Exception {
    run(true, "fault", unit, "call", op, "-1", "-1", Integer.toString(count), Long.toString(code));
  }

  public static String show(String unit) throws Exception {
    return run(true, "show", unit);
  }

  public static String textFile() throws Exception {
    Path file = Files.createTempFile("corvidj", ".txt");
    file.toFile().deleteOnExit();
    Files.writeString(file, "first line\nsecond line\n");
    return file.toString();
  }

  public static ZQSessionInfo login(String unit) throws Exception {
    ZQAccountBaseInfo account = new ZQAccountBaseInfo();
    account.user_id = "root";
    account.passwd = "secret";
    return DiskArrayUtilityJNI.ZQ_LoginZQAccount(unit, account);
  }
}
